#pragma once

#include <string>

#include "core/Clock.h"
#include "core/DeviceKind.h"

namespace vigiltron {

// One reading of a polled sensor as it travels from the port to the alerts, the screen and the
// logs. A combined sensor gives two: its humidity for the lead entry and its temperature for the
// entry after it.
struct Reading {
    int setupIndex = 0;                   // the entry whose Summary row shows it
    DeviceKind kind = DeviceKind::Empty;  // what was measured: Temperature or Humidity, ...
    std::string text;                     // the value as read ("72.5"); empty: none was given
    std::string unit;                     // "F" or "C" for a temperature, else empty
    LocalDateTime time{};
    bool failed = false;  // the exchange broke off (the port closed under it)

    bool HasValue() const { return !failed && !text.empty(); }
};

}  // namespace vigiltron
