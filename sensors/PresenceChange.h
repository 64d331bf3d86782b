#pragma once

#include "core/DeviceKind.h"

namespace vigiltron {

class DeviceModel;
class Dialogs;
class ProximityActions;
class ReadingPipeline;
class ViewModel;

// What a presence change does, for a proximity sensor and a distance sensor in proximity mode
// alike: the walk-up and walk-away delays, the change's path through the pipeline (shown,
// judged, logged), the immediate actions (lock, log-off, command) and the camera linked to the
// sensor's slot. `handler` names the event handler in the message of a lock that failed.
struct PresenceChange {
    ReadingPipeline& readings;
    ProximityActions& actions;
    Dialogs& dialogs;
    ViewModel& view;
    const DeviceModel& model;

    void operator()(int n, DeviceKind kind, bool present, const char* handler) const;
};

}  // namespace vigiltron
