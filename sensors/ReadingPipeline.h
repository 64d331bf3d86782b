#pragma once

#include "core/Clock.h"
#include "core/DeviceKind.h"
#include "core/Journal.h"
#include "core/Reading.h"

namespace vigiltron {

class DeviceModel;
class LogFiles;
class ThresholdEvaluator;
class ViewModel;
struct Preferences;

// The one path of a polled reading: it is judged against the thresholds, shown (Summary row,
// journal, highest and lowest of its tab slot) and logged (on screen and in the file), always in
// that order, whichever sensor and whichever half of a combined sensor it comes from.
class ReadingPipeline {
public:
    struct Services {
        const Clock& clock;
        Journal& journal;
        DeviceModel& model;
        ViewModel& view;
        const Preferences& prefs;
        ThresholdEvaluator& evaluator;
        LogFiles& logFiles;
    };

    explicit ReadingPipeline(Services services) : s_(services) {}

    void Take(Reading reading);

    // A sensor of `kind` was disconnected: the alarm latches of its kind are armed again.
    void SensorDisconnected(DeviceKind kind);

private:
    void Evaluate(const Reading& reading, int lead, bool comboHalf, int slot);
    void Show(const Reading& reading, bool comboHalf, int slot);
    void Log(const Reading& reading, int lead);

    Services s_;
};

}  // namespace vigiltron
