#pragma once

#include <string>

#include "core/Clock.h"
#include "core/DeviceKind.h"

namespace vigiltron {

// One reading or event of a sensor as it travels from the port to the screen, the alerts and
// the logs. A combined sensor gives two readings: its humidity for the lead entry and its
// temperature for the entry after it. Streaming sensors give their lines; line-state sensors and
// the event modes give the change they saw.
struct Reading {
    int setupIndex = 0;  // the entry whose Summary row shows it
    // What measured it: Temperature or Humidity (also for a combined sensor's halves),
    // Proximity, Water, Accelerometer or Distance.
    DeviceKind kind = DeviceKind::Empty;
    std::string text;  // the value or line as read ("72.5", "+0.12g -0.40g", "25cm"); may be empty
    std::string unit;  // "F" or "C" for a temperature, else empty
    LocalDateTime time{};
    bool failed = false;  // the exchange broke off (the port closed under it)

    // What changed, for a sensor that reports changes rather than values. `ObjectGone`: a
    // distance line saying "No Object" after an object was seen.
    enum class Change { None, Present, Absent, Wet, Dry, Bump, BumpOver, ObjectGone };
    Change change = Change::None;

    bool HasValue() const { return !failed && !text.empty(); }
};

}  // namespace vigiltron
