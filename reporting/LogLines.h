#pragma once

#include <string>

#include "core/Clock.h"

namespace vigiltron {

// The texts of log lines, file and on-screen, without their line ending. File lines carry the
// system's short date and long time; on-screen lines start with the time as "hh:mm AM/PM".

// "04:05 PM": the time of day on the 12-hour clock, two-digit hours and minutes.
std::string ScreenTime(const LocalDateTime& when);
// "12-07-2026": what a full on-screen view of a polled sensor is reset to.
std::string ScreenDate(const LocalDateTime& when);

// File lines.
// Temperature, humidity, either half of a combined sensor, distance readings that were polled:
// "12/7/2026,4:05:09 PM, 72.5".
std::string ReadingFileLine(const Clock& clock, const std::string& reading);
// Accelerometer readings and distance-mode lines: "12/7/2026,4:05:09 PM: 0.12 -0.40".
std::string ReceivedFileLine(const Clock& clock, const std::string& text);
// Proximity sensor: "12/7/2026 4:05:09 PM, Event - On" / ", Event - Off".
std::string ProximityFileLine(const Clock& clock, bool detected);
// Distance sensor in proximity mode: date and time run together, "12/7/20264:05:09 PM, Event - On".
std::string DistanceProximityFileLine(const Clock& clock, bool detected);
// Water sensor: "12/7/2026,4:05:09 PM, * WET * " / ", DRY".
std::string WaterFileLine(const Clock& clock, bool wet);
// Accelerometer bump: "12/7/2026,4:05:09 PM- BUMP".
std::string BumpFileLine(const Clock& clock);

// On-screen lines.
// Polled readings with their unit: "04:05 PM- 72.5F".
std::string ReadingScreenLine(const Clock& clock, const std::string& reading,
                              const std::string& unit);
// Time, "- " and a text: "04:05 PM- Detect", "04:05 PM- <Reset>", "04:05 PM- * WET *",
// "04:05 PM- <Dry>", "04:05 PM- BUMP", polled distance readings.
std::string DashScreenLine(const Clock& clock, const std::string& text);
// Time, ": " and a text: accelerometer lines, distance-mode readings ("04:05 PM: 25cm").
std::string ColonScreenLine(const Clock& clock, const std::string& text);
// Time followed directly by a note such as " Set To Bump Mode" or " Calibrated".
std::string NoteScreenLine(const Clock& clock, const std::string& note);

}  // namespace vigiltron
