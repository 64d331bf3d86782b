#include "reporting/LogLines.h"

#include <cstdio>

namespace vigiltron {

namespace {

std::string DateTime(const Clock& clock, const LocalDateTime& when, const char* between) {
    return clock.ShortDate(when) + between + clock.LongTime(when);
}

}  // namespace

std::string ScreenTime(const LocalDateTime& when) {
    const int hour12 = when.hour % 12 == 0 ? 12 : when.hour % 12;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d %s", hour12, when.minute,
                  when.hour < 12 ? "AM" : "PM");
    return text;
}

std::string ScreenDate(const LocalDateTime& when) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d-%02d-%04d", when.month, when.day, when.year);
    return text;
}

std::string ReadingFileLine(const Clock& clock, const std::string& reading) {
    return DateTime(clock, clock.Now(), ",") + ", " + reading;
}

std::string ReceivedFileLine(const Clock& clock, const std::string& text) {
    return DateTime(clock, clock.Now(), ",") + ": " + text;
}

std::string ProximityFileLine(const Clock& clock, bool detected) {
    return DateTime(clock, clock.Now(), " ") + ", " + (detected ? "Event - On" : "Event - Off");
}

std::string DistanceProximityFileLine(const Clock& clock, bool detected) {
    return DateTime(clock, clock.Now(), "") + ", " + (detected ? "Event - On" : "Event - Off");
}

std::string WaterFileLine(const Clock& clock, bool wet) {
    return DateTime(clock, clock.Now(), ",") + ", " + (wet ? "* WET * " : "DRY");
}

std::string BumpFileLine(const Clock& clock) {
    return DateTime(clock, clock.Now(), ",") + "- BUMP";
}

std::string ReadingScreenLine(const Clock& clock, const std::string& reading,
                              const std::string& unit) {
    return ScreenTime(clock.Now()) + "- " + reading + unit;
}

std::string DashScreenLine(const Clock& clock, const std::string& text) {
    return ScreenTime(clock.Now()) + "- " + text;
}

std::string ColonScreenLine(const Clock& clock, const std::string& text) {
    return ScreenTime(clock.Now()) + ": " + text;
}

std::string NoteScreenLine(const Clock& clock, const std::string& note) {
    return ScreenTime(clock.Now()) + note;
}

}  // namespace vigiltron
