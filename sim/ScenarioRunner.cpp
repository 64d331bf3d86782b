#include "sim/ScenarioRunner.h"

namespace vigiltron {

ScenarioRunner::ScenarioRunner(EventLoop& loop, SimulatedPortFactory& factory, const Clock* clock)
    : loop_(loop), factory_(factory), cameras_(loop, clock) {}

ScenarioRunner::~ScenarioRunner() {
    for (const TimerId id : timers_) {
        loop_.CancelTimer(id);
    }
}

void ScenarioRunner::Start(const Scenario& scenario) {
    start_ = loop_.Elapsed();
    for (const ScenarioSensor& declared : scenario.sensors) {
        auto sensor = std::make_shared<SimulatedSensor>(loop_, declared.kind);
        for (const SensorSetting& setting : declared.settings) {
            ApplySetting(*sensor, setting);
        }
        modems_.erase(declared.comNumber);
        sensors_[declared.comNumber] = sensor;
        factory_.Attach(declared.comNumber, sensor);
    }
    for (const ScenarioModem& declared : scenario.modems) {
        auto modem = std::make_shared<SimulatedModem>(loop_);
        for (const ModemSetting& setting : declared.settings) {
            ApplyModemSetting(*modem, setting);
        }
        sensors_.erase(declared.comNumber);
        modems_[declared.comNumber] = modem;
        factory_.Attach(declared.comNumber, modem);
    }
    for (const ScenarioCamera& declared : scenario.cameras) {
        cameras_.Add(declared.number, declared.options);
    }
    for (const ScenarioStep& step : scenario.steps) {
        Schedule(step, start_ + step.at);
    }
}

std::shared_ptr<SimulatedSensor> ScenarioRunner::Sensor(int comNumber) const {
    const auto it = sensors_.find(comNumber);
    return it == sensors_.end() ? nullptr : it->second;
}

std::shared_ptr<SimulatedModem> ScenarioRunner::Modem(int comNumber) const {
    const auto it = modems_.find(comNumber);
    return it == modems_.end() ? nullptr : it->second;
}

void ScenarioRunner::Schedule(const ScenarioStep& step, Milliseconds due) {
    auto id = std::make_shared<TimerId>(0);
    *id = loop_.StartTimer(due - loop_.Elapsed(), [this, id, step, due] {
        timers_.erase(*id);
        const Milliseconds next = due + step.every;
        if (step.every.count() > 0 && (!step.until || next <= start_ + *step.until)) {
            Schedule(step, next);
        }
        Apply(step);
    });
    timers_.insert(*id);
}

void ScenarioRunner::Apply(const ScenarioStep& step) {
    const auto sensor = Sensor(step.comNumber);
    if (sensor == nullptr) {
        return;
    }
    for (const SensorSetting& setting : step.settings) {
        ApplySetting(*sensor, setting);
    }
}

}  // namespace vigiltron
