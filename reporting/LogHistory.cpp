#include "reporting/LogHistory.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <filesystem>
#include <string_view>
#include <utility>

#include "core/LooseText.h"
#include "core/ReadingValue.h"

namespace vigiltron {

namespace {

constexpr long long kHourMs = 3'600'000;

// A number that orders dates and times as the calendar does (not a duration).
long long TimeKey(const LocalDateTime& t) {
    return ((((((t.year * 13LL + t.month) * 32 + t.day) * 24 + t.hour) * 60 + t.minute) * 60 +
             t.second) *
                1000 +
            t.millisecond);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads `min` to `max` digits at `pos`.
bool ReadNumber(std::string_view text, std::size_t& pos, std::size_t min, std::size_t max,
                int& out) {
    std::size_t count = 0;
    int value = 0;
    while (count < max && pos < text.size() && IsDigit(text[pos])) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
        ++count;
    }
    out = value;
    return count >= min;
}

bool Take(std::string_view text, std::size_t& pos, std::string_view what) {
    if (text.substr(pos, what.size()) != what) {
        return false;
    }
    pos += what.size();
    return true;
}

// Reads the date and time at the start of `text` and leaves `pos` after them. Only the US forms
// of the C locale's short date and long time read ("12/7/2026", "4:05:09 PM"), joined by ",", " "
// or nothing (a distance sensor's proximity lines run them together: "12/7/20264:05:09 PM").
// Lines written under another locale's forms ("07.12.2026", "16:05:09") do not read: the caller
// skips and counts them.
std::optional<LocalDateTime> ReadDateTime(std::string_view text, std::size_t& pos) {
    LocalDateTime when;
    if (!ReadNumber(text, pos, 1, 2, when.month) || !Take(text, pos, "/") ||
        !ReadNumber(text, pos, 1, 2, when.day) || !Take(text, pos, "/") ||
        !ReadNumber(text, pos, 4, 4, when.year)) {
        return std::nullopt;
    }
    using namespace std::chrono;
    if (!year_month_day{year{when.year}, month{unsigned(when.month)}, day{unsigned(when.day)}}
             .ok()) {
        return std::nullopt;
    }
    if (pos < text.size() && (text[pos] == ',' || text[pos] == ' ')) {
        ++pos;
    }
    int hour12 = 0;
    if (!ReadNumber(text, pos, 1, 2, hour12) || !Take(text, pos, ":") ||
        !ReadNumber(text, pos, 2, 2, when.minute) || !Take(text, pos, ":") ||
        !ReadNumber(text, pos, 2, 2, when.second) || !Take(text, pos, " ")) {
        return std::nullopt;
    }
    const bool pm = Take(text, pos, "PM");
    if (!pm && !Take(text, pos, "AM")) {
        return std::nullopt;
    }
    if (hour12 < 1 || hour12 > 12 || when.minute > 59 || when.second > 59) {
        return std::nullopt;
    }
    when.hour = hour12 % 12 + (pm ? 12 : 0);
    return when;
}

// The value of a line's text, when it starts with a number: "72.5", "25cm", and an
// accelerometer's two axes "0.12 -0.40" or "+0.12g -0.40g".
bool ReadValue(std::string_view text, HistoryPoint& point) {
    if (!StartsWithReading(text)) {
        return false;
    }
    const TiltTexts axes = SplitTilt(text);
    point.kind = HistoryPoint::Kind::Reading;
    if (axes.x.empty()) {
        point.value = LeadingNumber(text);
    } else {
        point.value = LeadingNumber(axes.x);
        if (StartsWithReading(axes.y)) {
            point.secondAxis = LeadingNumber(axes.y);
        }
    }
    return true;
}

HistoryPoint EventPoint(bool on, std::string_view text) {
    HistoryPoint point;
    point.kind = HistoryPoint::Kind::Event;
    point.on = on;
    point.text = text;
    return point;
}

HistoryPoint NotePoint(std::string_view text) {
    HistoryPoint point;
    point.kind = HistoryPoint::Kind::Note;
    point.text = text;
    return point;
}

// One file line after the header; nothing when it is not a line this program writes.
std::optional<HistoryPoint> ReadLine(std::string_view line) {
    std::size_t pos = 0;
    const std::optional<LocalDateTime> when = ReadDateTime(line, pos);
    if (!when) {
        return std::nullopt;
    }
    std::optional<HistoryPoint> point;
    const std::string_view rest = line.substr(pos);
    if (rest.substr(0, 2) == ", ") {
        // Water lines end in a blank ("* WET * "); an editor may have taken it off.
        const std::string_view text = Trim(rest.substr(2), " ");
        HistoryPoint reading;
        if (text == "Event - On" || text == "* WET *") {
            point = EventPoint(true, text);
        } else if (text == "Event - Off" || text == "DRY") {
            point = EventPoint(false, text);
        } else if (text.empty()) {
            point = NotePoint(text);  // a poll that failed is logged without a value
        } else if (ReadValue(text, reading)) {
            point = std::move(reading);
        }
    } else if (rest.substr(0, 2) == ": ") {
        // Stream lines and the program's notes about the connection.
        const std::string_view text = Trim(rest.substr(2), " ");
        HistoryPoint reading;
        if (ReadValue(text, reading)) {
            point = std::move(reading);
        } else if (!text.empty()) {
            point = NotePoint(text);
        }
    } else if (rest == "- BUMP") {
        point = EventPoint(true, "BUMP");
    }
    if (point) {
        point->when = *when;
    }
    return point;
}

// The copy number of a file name that is a GetDateTime stamp ("12072026_040509"), an optional
// "-N" and `suffix` + ".txt": 1 without "-N"; nothing for any other name.
std::optional<int> CopyNumber(std::string_view name, std::string_view suffix) {
    const std::string_view tail = ".txt";
    if (name.size() < 15 + suffix.size() + tail.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < 15; ++i) {
        if (i == 8 ? name[i] != '_' : !IsDigit(name[i])) {
            return std::nullopt;
        }
    }
    std::size_t pos = 15;
    int copy = 1;
    if (pos < name.size() && name[pos] == '-') {
        ++pos;
        if (!ReadNumber(name, pos, 1, 9, copy)) {
            return std::nullopt;
        }
    }
    if (name.substr(pos) != std::string(suffix) + std::string(tail)) {
        return std::nullopt;
    }
    return copy;
}

struct SensorFile {
    std::string path;
    int copy = 1;
    std::string content;
    std::optional<LocalDateTime> started;
};

// Cuts `content` into lines at LF, each without its CR.
template <typename Visit>
void ForEachLine(std::string_view content, Visit&& visit) {
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!visit(line)) {
            return;
        }
        content = end == std::string_view::npos ? std::string_view() : content.substr(end + 1);
    }
}

}  // namespace

History LogHistory::Read(const std::string& directory, const std::string& deviceName,
                         const std::string& suffix, HistoryRange range,
                         const LocalDateTime& now) const {
    History history;
    try {
        long long from = 0;
        long long to = 0;
        if (range != HistoryRange::All) {
            const long long span = range == HistoryRange::LastHour      ? kHourMs
                                   : range == HistoryRange::Last24Hours ? 24 * kHourMs
                                                                        : 7 * 24 * kHourMs;
            from = TimeKey(AddMilliseconds(now, -span));
            to = TimeKey(now);
        }

        // The sensor's files, known by their names and the first line of their header.
        std::vector<SensorFile> sensorFiles;
        std::string path;
        std::uint64_t size = 0;
        const std::filesystem::path base(directory);
        for (auto walk = files_.Walk(directory); walk->Next(path, size);) {
            const std::filesystem::path relative =
                std::filesystem::path(path).lexically_relative(base);
            if (relative.empty() || relative.has_parent_path()) {
                continue;
            }
            const std::optional<int> copy = CopyNumber(relative.filename().string(), suffix);
            if (!copy) {
                continue;
            }
            std::optional<std::string> content = files_.ReadFile(path);
            if (!content) {
                continue;
            }
            SensorFile file{path, *copy, std::move(*content), std::nullopt};
            int lineNo = 0;
            bool ours = false;
            ForEachLine(file.content, [&](std::string_view line) {
                if (++lineNo == 1) {
                    ours = line == deviceName || line == deviceName + " (Continued)";
                    return ours;
                }
                std::size_t pos = 0;
                if (Take(line, pos, "Log file started: ")) {
                    file.started = ReadDateTime(line, pos);
                }
                return false;
            });
            if (ours) {
                sensorFiles.push_back(std::move(file));
            }
        }

        // The stamp in a file name has a 12-hour clock without AM/PM: the header tells the order.
        std::sort(sensorFiles.begin(), sensorFiles.end(),
                  [](const SensorFile& a, const SensorFile& b) {
                      const long long ka = a.started ? TimeKey(*a.started) : -1;
                      const long long kb = b.started ? TimeKey(*b.started) : -1;
                      return ka != kb ? ka < kb : a.copy < b.copy;
                  });

        for (SensorFile& file : sensorFiles) {
            int lineNo = 0;
            ForEachLine(file.content, [&](std::string_view line) {
                ++lineNo;
                if (lineNo == 1 || line.empty() ||
                    (lineNo == 2 && line.substr(0, 18) == "Log file started: ")) {
                    return true;
                }
                std::optional<HistoryPoint> point = ReadLine(line);
                if (!point) {
                    ++history.skippedLines;
                    return true;
                }
                const long long key = TimeKey(point->when);
                if (range == HistoryRange::All || (key >= from && key <= to)) {
                    history.points.push_back(std::move(*point));
                }
                return true;
            });
            history.files.push_back(std::move(file.path));
            file.content = std::string();
        }

        // A clock set back (or a file edited by hand) can put lines out of order; equal times
        // keep the order of the files.
        const auto earlier = [](const HistoryPoint& a, const HistoryPoint& b) {
            return TimeKey(a.when) < TimeKey(b.when);
        };
        if (!std::is_sorted(history.points.begin(), history.points.end(), earlier)) {
            std::stable_sort(history.points.begin(), history.points.end(), earlier);
        }
    } catch (const std::exception& failure) {
        history.error = std::string("Error reading the log files: ") + failure.what();
    }
    return history;
}

}  // namespace vigiltron
