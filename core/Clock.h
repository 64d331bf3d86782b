#pragma once

#include <string>

namespace vigiltron {

// A local calendar date and time of day, as the user's clock shows it.
struct LocalDateTime {
    int year = 2000;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;   // 0..23
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

// Local date and time, and the system's short-date and long-time texts used in log files.
class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDateTime Now() const = 0;
    virtual std::string ShortDate(const LocalDateTime& when) const = 0;
    virtual std::string LongTime(const LocalDateTime& when) const = 0;
};

// The US forms ("12/7/2026", "4:05:09 PM") that the Windows edition writes under a US locale.
std::string UsShortDate(const LocalDateTime& when);
std::string UsLongTime(const LocalDateTime& when);

// Adds whole milliseconds to a local date and time, with calendar carry (no time-zone changes).
LocalDateTime AddMilliseconds(const LocalDateTime& start, long long milliseconds);

}  // namespace vigiltron
