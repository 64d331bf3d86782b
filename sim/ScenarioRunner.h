#pragma once

#include <map>
#include <memory>
#include <set>

#include "core/EventLoop.h"
#include "sim/Scenario.h"
#include "sim/SimulatedModem.h"
#include "sim/SimulatedPortFactory.h"
#include "sim/SimulatedSensor.h"
#include "sim/SyntheticCamera.h"

namespace vigiltron {

// Brings a parsed scenario to life: attaches its sensors and modems to the factory's COM numbers,
// offers its cameras through Cameras(), and plays its timed changes on the loop, with times
// counted from Start.
class ScenarioRunner {
public:
    // `clock`, when given, dates the synthetic cameras' pictures; it must outlive the runner.
    ScenarioRunner(EventLoop& loop, SimulatedPortFactory& factory, const Clock* clock = nullptr);
    // Cancels the changes still to come; the sensors stay attached to the factory.
    ~ScenarioRunner();
    ScenarioRunner(const ScenarioRunner&) = delete;
    ScenarioRunner& operator=(const ScenarioRunner&) = delete;

    // Attaches every sensor, modem and camera of `scenario` (with its initial settings) and
    // schedules its steps. Calling it again replaces the devices on the same COM numbers (and the
    // options of cameras with the same number) and adds more steps.
    void Start(const Scenario& scenario);

    // The sensor the scenario put on `comNumber`, or null.
    std::shared_ptr<SimulatedSensor> Sensor(int comNumber) const;
    // The modem the scenario put on `comNumber`, or null.
    std::shared_ptr<SimulatedModem> Modem(int comNumber) const;
    // The scenario's cameras, for the engine's camera side; they live as long as the runner.
    SyntheticCameraBackend& Cameras() { return cameras_; }
    // Scheduled changes not yet applied (a repeating step counts once).
    std::size_t PendingSteps() const { return timers_.size(); }

private:
    void Schedule(const ScenarioStep& step, Milliseconds due);
    void Apply(const ScenarioStep& step);

    EventLoop& loop_;
    SimulatedPortFactory& factory_;
    Milliseconds start_{0};
    std::map<int, std::shared_ptr<SimulatedSensor>> sensors_;
    std::map<int, std::shared_ptr<SimulatedModem>> modems_;
    std::set<TimerId> timers_;
    SyntheticCameraBackend cameras_;
};

}  // namespace vigiltron
