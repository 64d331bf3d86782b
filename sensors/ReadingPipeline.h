#pragma once

#include <array>
#include <functional>
#include <string>

#include "core/Clock.h"
#include "core/DeviceKind.h"
#include "core/Journal.h"
#include "core/Reading.h"

namespace vigiltron {

class DeviceModel;
class LogFiles;
class ProximityActions;
class ThresholdEvaluator;
class ViewModel;
struct Preferences;

// The one path of every reading and event, whichever sensor it comes from: it is shown (Summary
// row, highest and lowest, the journal for polled readings), judged (thresholds, alarms and "OK"
// notices, the proximity alerts) and logged (on screen and in the file), always in that order.
// What a kind's reading means for each step lives here, in one place per kind.
class ReadingPipeline {
public:
    struct Services {
        const Clock& clock;
        Journal& journal;
        DeviceModel& model;
        ViewModel& view;
        const Preferences& prefs;
        ThresholdEvaluator& evaluator;
        ProximityActions& actions;
        LogFiles& logFiles;
    };

    explicit ReadingPipeline(Services services) : s_(services) {}

    void Take(Reading reading);

    // A sensor of `kind` was disconnected: the alarm latches of its kind are armed again.
    void SensorDisconnected(DeviceKind kind);

    // Told each reading or event once it has been shown, judged and logged (with its time), so
    // that it can be published as the Summary row now shows it.
    std::function<void(const Reading&)> taken;

private:
    void Polled(const Reading& reading);
    void Tilt(const Reading& reading);
    void Bump(const Reading& reading);
    void Distance(const Reading& reading);
    void Presence(const Reading& reading);
    void Water(const Reading& reading);
    int SlotOf(const Reading& reading, Tab tab) const;

    Services s_;
};

}  // namespace vigiltron
