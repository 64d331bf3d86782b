#include "reporting/AlarmHistory.h"

#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <system_error>
#include <tuple>

#include "core/NewFile.h"
#include "reporting/StdLogFileSystem.h"

namespace vigiltron {

namespace {

namespace fs = std::filesystem;

constexpr long long kHourMs = 3'600'000;
// A span of "24h"/"7d" beyond a century is a typing slip, not a period anyone keeps alarms for.
constexpr long long kLongestSpanHours = 100LL * 366 * 24;
constexpr int kFieldCount = 8;
// Names tried for the new file that replaces an export target; left-overs of broken exports.
constexpr int kMaxPartFiles = 100;

auto Key(const LocalDateTime& t) {
    return std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

bool Before(const LocalDateTime& a, const LocalDateTime& b) {
    return Key(a) < Key(b);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// A field as RFC 4180 writes it: quoted (quotes doubled) when it holds a comma, a quote, CR or LF.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

// A whole number made of exactly the digits of `text`.
std::optional<int> Digits(std::string_view text) {
    int value = 0;
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text.front()))) {
        return std::nullopt;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

bool RealDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           std::chrono::year_month_day{std::chrono::year{year}, std::chrono::month{unsigned(month)},
                                       std::chrono::day{unsigned(day)}}
               .ok();
}

// "2026-12-09", then optionally "T" (or a blank) and "14:30" or "14:30:05".
std::optional<LocalDateTime> ParseIsoTime(std::string_view text, bool secondsRequired) {
    if (text.size() < 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    const auto year = Digits(text.substr(0, 4));
    const auto month = Digits(text.substr(5, 2));
    const auto day = Digits(text.substr(8, 2));
    if (!year || !month || !day || !RealDate(*year, *month, *day)) {
        return std::nullopt;
    }
    LocalDateTime when;
    when.year = *year;
    when.month = *month;
    when.day = *day;
    if (text.size() == 10) {
        return secondsRequired ? std::nullopt : std::optional(when);
    }
    if (text[10] != 'T' && text[10] != ' ') {
        return std::nullopt;
    }
    const std::string_view time = text.substr(11);
    if ((time.size() != 5 && time.size() != 8) || time[2] != ':' ||
        (time.size() == 8 && time[5] != ':') || (secondsRequired && time.size() != 8)) {
        return std::nullopt;
    }
    const auto hour = Digits(time.substr(0, 2));
    const auto minute = Digits(time.substr(3, 2));
    const auto second = time.size() == 8 ? Digits(time.substr(6, 2)) : std::optional(0);
    if (!hour || !minute || !second || *hour > 23 || *minute > 59 || *second > 59) {
        return std::nullopt;
    }
    when.hour = *hour;
    when.minute = *minute;
    when.second = *second;
    return when;
}

// One row of the file: its fields, and where the next row starts. `ok` is false when the row is
// cut short inside quotes or has text after a closing quote.
struct CsvRow {
    std::vector<std::string> fields;
    std::size_t next = 0;
    bool ok = true;
};

CsvRow ParseCsvRow(const std::string& data, std::size_t pos) {
    CsvRow row;
    const std::size_t n = data.size();
    std::string field;
    while (true) {
        field.clear();
        if (pos < n && data[pos] == '"') {
            ++pos;
            bool closed = false;
            while (pos < n) {
                if (data[pos] == '"') {
                    if (pos + 1 < n && data[pos + 1] == '"') {
                        field += '"';
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    closed = true;
                    break;
                }
                field += data[pos++];
            }
            if (!closed ||
                (pos < n && data[pos] != ',' && data[pos] != '\r' && data[pos] != '\n')) {
                row.ok = false;
                return row;
            }
        } else {
            while (pos < n && data[pos] != ',' && data[pos] != '\r' && data[pos] != '\n') {
                field += data[pos++];
            }
        }
        row.fields.push_back(field);
        if (pos < n && data[pos] == ',') {
            ++pos;
            continue;
        }
        // The row ends with CR LF (or a bare LF or CR from an editor) or with the file.
        if (pos < n && data[pos] == '\r') {
            ++pos;
        }
        if (pos < n && data[pos] == '\n') {
            ++pos;
        }
        row.next = pos;
        return row;
    }
}

std::optional<AlarmRecord> RecordOfRow(const std::vector<std::string>& fields) {
    // Columns added after these by a later version are passed over.
    if (fields.size() < kFieldCount) {
        return std::nullopt;
    }
    const auto time = ParseIsoTime(fields[0], true);
    const auto entry = Digits(fields[1]);
    const auto event = AlarmEventFromText(fields[4]);
    if (!time || !entry || *entry > 10 || !event) {
        return std::nullopt;
    }
    AlarmRecord record;
    record.time = *time;
    record.entry = *entry;
    record.sensor = fields[2];
    record.kind = fields[3];
    record.event = *event;
    record.text = fields[5];
    record.user = fields[6];
    record.comment = fields[7];
    return record;
}

bool IsHeaderRow(const std::vector<std::string>& fields) {
    return !fields.empty() && fields[0] == "time";
}

// Whether two paths name the same file, whether or not it exists yet.
bool SamePlace(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (fs::equivalent(a, b, ec)) {
        return true;
    }
    const fs::path left = fs::weakly_canonical(a, ec);
    if (ec) {
        return a == b;
    }
    const fs::path right = fs::weakly_canonical(b, ec);
    return !ec && left == right;
}

}  // namespace

std::string AlarmEventText(AlarmEvent event) {
    switch (event) {
        case AlarmEvent::Alarm:
            return "Alarm";
        case AlarmEvent::Ok:
            return "OK";
        case AlarmEvent::Acknowledged:
            return "Acknowledged";
        case AlarmEvent::Snoozed:
            return "Snoozed";
        case AlarmEvent::SnoozeEnded:
            return "Snooze ended";
        case AlarmEvent::Escalated:
            return "Escalated";
    }
    return "";
}

std::optional<AlarmEvent> AlarmEventFromText(std::string_view text) {
    for (const AlarmEvent event :
         {AlarmEvent::Alarm, AlarmEvent::Ok, AlarmEvent::Acknowledged, AlarmEvent::Snoozed,
          AlarmEvent::SnoozeEnded, AlarmEvent::Escalated}) {
        if (EqualsIgnoringCase(text, AlarmEventText(event))) {
            return event;
        }
    }
    if (EqualsIgnoringCase(text, "SnoozeEnded")) {
        return AlarmEvent::SnoozeEnded;
    }
    return std::nullopt;
}

bool AlarmHistoryFilter::Matches(const AlarmRecord& record) const {
    return (!entry || record.entry == *entry) && (sensor.empty() || record.sensor == sensor) &&
           (kind.empty() || record.kind == kind) && (!event || record.event == *event) &&
           (!since || !Before(record.time, *since)) && (!until || !Before(*until, record.time));
}

std::string IsoLocalTime(const LocalDateTime& when) {
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", when.year, when.month,
                  when.day, when.hour, when.minute, when.second);
    return text;
}

std::optional<LocalDateTime> ParseHistoryTime(std::string_view text, const LocalDateTime& now) {
    if (text.size() >= 2 && (text.back() == 'h' || text.back() == 'd')) {
        const auto count = Digits(text.substr(0, text.size() - 1));
        if (!count) {
            return std::nullopt;
        }
        const long long hours = text.back() == 'd' ? *count * 24LL : *count;
        if (hours > kLongestSpanHours) {
            return std::nullopt;
        }
        LocalDateTime since = AddMilliseconds(now, -hours * kHourMs);
        since.millisecond = 0;
        return since;
    }
    return ParseIsoTime(text, false);
}

std::string SingleLine(std::string_view text) {
    std::string line;
    bool pendingBreak = false;
    for (const char c : text) {
        if (c == '\r' || c == '\n') {
            // Breaks before the first and after the last character of text are dropped.
            pendingBreak = !line.empty();
            continue;
        }
        if (pendingBreak) {
            line += " / ";
            pendingBreak = false;
        }
        line += c;
    }
    return line;
}

std::string ReadableAlarmLine(const AlarmRecord& r) {
    std::string time = IsoLocalTime(r.time);
    time[10] = ' ';
    std::string line = time + "  " + std::to_string(r.entry) + " " + SingleLine(r.sensor) + "  " +
                       SingleLine(r.kind) + "  " + AlarmEventText(r.event);
    if (!r.text.empty()) {
        line += "  " + SingleLine(r.text);
    }
    if (!r.user.empty() || !r.comment.empty()) {
        line += "  [" + SingleLine(r.user) + (!r.user.empty() && !r.comment.empty() ? ": " : "") +
                SingleLine(r.comment) + "]";
    }
    return line;
}

std::string AlarmCsvLine(const AlarmRecord& r) {
    return IsoLocalTime(r.time) + "," + std::to_string(r.entry) + "," + CsvField(r.sensor) + "," +
           CsvField(r.kind) + "," + CsvField(AlarmEventText(r.event)) + "," + CsvField(r.text) +
           "," + CsvField(r.user) + "," + CsvField(r.comment) + "\r\n";
}

AlarmHistory::AlarmHistory(Services services)
    : s_(std::move(services)),
      ownFiles_(s_.files != nullptr ? nullptr : std::make_unique<StdLogFileSystem>()),
      files_(s_.files != nullptr ? *s_.files : *ownFiles_) {}

AlarmHistory::~AlarmHistory() = default;

std::string AlarmHistory::FilePath() const {
    const std::string directory = s_.logDirectory ? s_.logDirectory() : std::string();
    return (fs::path(directory) / kFileName).string();
}

bool AlarmHistory::EndsWithLineBreak(const std::string& path, std::uint64_t size) const {
    if (path == lastPath_ && size == lastSize_) {
        return true;
    }
    const std::optional<std::string> content = files_.ReadFile(path);
    // A file that cannot be read back is taken as it should be: guessing wrong costs at most an
    // empty line, which reading skips.
    return !content || content->empty() || content->back() == '\n';
}

std::string AlarmHistory::Append(const AlarmRecord& record) {
    try {
        const std::string directory = s_.logDirectory ? s_.logDirectory() : std::string();
        // Like the log files, the history is not written into a directory that is not there
        // (the drive may not be mounted); the user picks or creates the log directory.
        if (directory.empty() || !files_.IsDirectory(directory)) {
            return "the log directory " + directory + " does not exist";
        }
        const std::string path = FilePath();
        const std::optional<std::uint64_t> size = files_.FileSize(path);
        std::string data;
        if (!size || *size == 0) {
            data = kAlarmCsvHeader;
        } else if (!EndsWithLineBreak(path, *size)) {
            // A line cut short (a crash, a full disk) must not swallow this record.
            data = "\r\n";
        }
        data += AlarmCsvLine(record);
        LogFileSystem::Opened opened = files_.Open(path, LogFileSystem::OpenMode::Append);
        if (!opened.file) {
            return path + ": " + opened.error;
        }
        const std::string error = opened.file->Write(data);
        if (!error.empty()) {
            lastPath_.clear();
            return path + ": " + error;
        }
        lastPath_ = path;
        lastSize_ = size.value_or(0) + data.size();
        ++appended_;
        return "";
    } catch (const std::exception& e) {
        return e.what();
    }
}

AlarmHistoryRead AlarmHistory::Read(const AlarmHistoryFilter& given) const {
    AlarmHistoryRead result;
    try {
        AlarmHistoryFilter filter = given;
        if (filter.lastHours > 0) {
            LocalDateTime from = AddMilliseconds(s_.clock.Now(), -filter.lastHours * kHourMs);
            from.millisecond = 0;
            if (!filter.since || Before(*filter.since, from)) {
                filter.since = from;
            }
        }
        const std::string path = FilePath();
        if (!files_.Exists(path)) {
            return result;
        }
        const std::optional<std::string> content = files_.ReadFile(path);
        if (!content) {
            result.error = "cannot read " + path;
            return result;
        }
        const std::string& data = *content;
        // A spreadsheet that saved the file again may have put a byte-order mark first.
        std::size_t pos = data.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
        while (pos < data.size()) {
            const CsvRow row = ParseCsvRow(data, pos);
            const bool blank = row.ok && row.fields.size() == 1 && row.fields[0].empty();
            if (row.ok && (blank || IsHeaderRow(row.fields))) {
                pos = row.next;
                continue;
            }
            const std::optional<AlarmRecord> record =
                row.ok ? RecordOfRow(row.fields) : std::nullopt;
            if (!record) {
                // Start again on the next line, so that a stray quote costs one line, not the
                // rest of the file.
                ++result.damagedLines;
                const std::size_t lineEnd = data.find('\n', pos);
                pos = lineEnd == std::string::npos ? data.size() : lineEnd + 1;
                continue;
            }
            pos = row.next;
            if (filter.Matches(*record)) {
                result.records.push_back(*record);
            }
        }
    } catch (const std::exception& e) {
        result.records.clear();
        result.error = e.what();
    }
    return result;
}

std::string AlarmHistory::ExportCsv(const std::vector<AlarmRecord>& records,
                                    const std::string& path, bool overwrite) {
    try {
        if (path.empty()) {
            return "No file name was given.";
        }
        if (SamePlace(path, FilePath())) {
            return "the alarm history itself cannot be the export file";
        }
        std::string data = kAlarmCsvHeader;
        for (const AlarmRecord& record : records) {
            data += AlarmCsvLine(record);
        }
        // Replacing a file goes through a new one beside it, so the old content stays whole
        // until the export is complete. Exclusive creation never replaces anything itself.
        std::string target = path;
        LogFileSystem::Opened opened;
        for (int copy = 1; copy <= kMaxPartFiles; ++copy) {
            if (overwrite) {
                target = path + ".part" + (copy == 1 ? "" : "-" + std::to_string(copy));
            }
            opened = files_.Open(target, LogFileSystem::OpenMode::CreateNew);
            if (!opened.exists || !overwrite) {
                break;
            }
        }
        if (opened.exists) {
            return "The file " + target + " already exists.";
        }
        if (!opened.file) {
            return target + ": " + opened.error;
        }
        const std::string error = opened.file->Write(data);
        opened.file.reset();
        if (!error.empty()) {
            RemoveFileQuietly(target);
            return target + ": " + error;
        }
        if (overwrite) {
            std::error_code ec;
            fs::rename(target, path, ec);
            if (ec) {
                RemoveFileQuietly(target);
                return path + ": " + ec.message();
            }
        }
        return "";
    } catch (const std::exception& e) {
        return e.what();
    }
}

void AlarmHistory::Export(const std::vector<AlarmRecord>& records) {
    const std::string title = "Alarm history";
    const LocalDateTime now = s_.clock.Now();
    const std::string suggested = "alarm-history-" + IsoLocalTime(now).substr(0, 10) + ".csv";
    const std::optional<std::string> path = s_.dialogs.ChooseSaveFile(
        "Export alarm history", "CSV files (*.csv)|*.csv|All files (*.*)|*.*", suggested);
    if (!path) {
        return;
    }
    bool overwrite = false;
    if (files_.Exists(*path) && !SamePlace(*path, FilePath())) {
        if (!s_.dialogs.AskYesNo(
                "The file " + *path + " already exists. Do you want to replace it?", title,
                false)) {
            return;
        }
        overwrite = true;
    }
    const std::string error = ExportCsv(records, *path, overwrite);
    if (error.empty()) {
        s_.dialogs.ShowMessage(std::to_string(records.size()) +
                                   (records.size() == 1 ? " record" : " records") +
                                   " exported to " + *path,
                               MessageIcon::Information, false, title);
    } else {
        s_.dialogs.ShowMessage("Alarm history not exported: " + error, MessageIcon::Exclamation,
                               false, title);
    }
}

}  // namespace vigiltron
