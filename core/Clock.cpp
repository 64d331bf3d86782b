#include "core/Clock.h"

#include <chrono>

namespace vigiltron {

std::string UsShortDate(const LocalDateTime& when) {
    return std::to_string(when.month) + "/" + std::to_string(when.day) + "/" +
           std::to_string(when.year);
}

std::string UsLongTime(const LocalDateTime& when) {
    const int hour12 = when.hour % 12 == 0 ? 12 : when.hour % 12;
    auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    return std::to_string(hour12) + ":" + two(when.minute) + ":" + two(when.second) +
           (when.hour < 12 ? " AM" : " PM");
}

LocalDateTime AddMilliseconds(const LocalDateTime& start, long long milliseconds) {
    using namespace std::chrono;
    const sys_days startDay =
        year_month_day{year{start.year}, month{unsigned(start.month)}, day{unsigned(start.day)}};
    const long long startMs =
        ((start.hour * 60LL + start.minute) * 60LL + start.second) * 1000LL + start.millisecond;
    long long totalMs = startMs + milliseconds;
    long long dayShift = totalMs / 86'400'000LL;
    long long msOfDay = totalMs % 86'400'000LL;
    if (msOfDay < 0) {
        msOfDay += 86'400'000LL;
        --dayShift;
    }
    const year_month_day ymd{startDay + days{dayShift}};
    LocalDateTime result;
    result.year = int(ymd.year());
    result.month = int(unsigned(ymd.month()));
    result.day = int(unsigned(ymd.day()));
    result.hour = int(msOfDay / 3'600'000LL);
    result.minute = int(msOfDay / 60'000LL % 60);
    result.second = int(msOfDay / 1000LL % 60);
    result.millisecond = int(msOfDay % 1000);
    return result;
}

}  // namespace vigiltron
