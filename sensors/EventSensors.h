#pragma once

#include "core/DeviceKind.h"

namespace vigiltron {

class Timer;

// The sensors that report by themselves (proximity and water on their modem lines, the
// accelerometer and the distance sensor on their streams), as the link starts and stops them.
class EventSensors {
public:
    virtual ~EventSensors() = default;
    // After entry n connected as `kind`: its port handler goes on and the sensor is put into
    // its stored mode.
    virtual void Start(int n, DeviceKind kind) = 0;
    // Before entry n is disconnected (by the user, by the loss of its port, at shut-down).
    virtual void Reset(int n, DeviceKind kind) = 0;
    // The timer that polls entry n, if its kind is polled as well (the water sensor).
    virtual Timer* PollTimer(int /*n*/) { return nullptr; }
};

}  // namespace vigiltron
