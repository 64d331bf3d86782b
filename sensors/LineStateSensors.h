#pragma once

#include <array>
#include <memory>

#include "core/Clock.h"
#include "core/DeviceKind.h"
#include "core/Dialogs.h"
#include "core/EventLoop.h"
#include "core/SerialPort.h"
#include "core/Timer.h"
#include "sensors/EventSensors.h"

namespace vigiltron {

class DeviceModel;
class ReadingPipeline;
class ProximityActions;
class SensorLink;
class ThresholdEvaluator;
class ViewModel;
struct Preferences;

// Proximity and water sensors: they report on a modem line of their port (proximity on DSR,
// water on CD). Each change becomes the Summary texts, the on-screen and file lines, the alert
// evaluation and the proximity actions. A water sensor is also polled, so a probe that is
// already wet when it is connected raises its alarm without waiting for a change.
class LineStateSensors : public EventSensors {
public:
    static constexpr Milliseconds kWaterPoll{200};

    struct Services {
        EventLoop& loop;
        const Clock& clock;
        Dialogs& dialogs;
        DeviceModel& model;
        ViewModel& view;
        Preferences& prefs;
        SensorLink& link;
        ThresholdEvaluator& evaluator;
        ProximityActions& actions;
        ReadingPipeline& readings;
    };

    explicit LineStateSensors(Services services);
    ~LineStateSensors() override;

    // Connection of a proximity or water entry: installs its port handler and, for water, starts
    // the poll. Disconnection stops them.
    void Start(int n, DeviceKind kind) override;
    void Reset(int n, DeviceKind kind) override;

    void MSCommP_OnComm(int n, CommEvent event);
    void MSCommW_OnComm(int n, CommEvent event);
    void WaterTimer_Timer(int n);

    Timer* WaterTimer(int n);
    Timer* PollTimer(int n) override;

private:
    // The common first step of both handlers: a lost port is handed to the link, error events
    // are shown; true when the event is the kind's own line change and should be handled.
    bool Sort(int n, CommEvent event, CommEvent wanted);
    SerialPort* PortOf(int n, DeviceKind kind);

    Services s_;
    std::array<std::unique_ptr<Timer>, 11> waterTimers_;
};

}  // namespace vigiltron
