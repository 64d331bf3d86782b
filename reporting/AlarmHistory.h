#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Clock.h"
#include "core/Dialogs.h"
#include "reporting/LogFileSystem.h"

namespace vigiltron {

// What happened to an alarm.
enum class AlarmEvent { Alarm, Ok, Acknowledged, Snoozed, SnoozeEnded, Escalated };

// The event as the history file and the window spell it: "Alarm", "OK", "Acknowledged",
// "Snoozed", "Snooze ended", "Escalated".
std::string AlarmEventText(AlarmEvent event);
// The event a text names (any letter case); nothing for a text that names none.
std::optional<AlarmEvent> AlarmEventFromText(std::string_view text);

// One line of the alarm history.
struct AlarmRecord {
    LocalDateTime time;  // kept to the second
    int entry = 0;       // setup index 1..10 (0: not tied to one entry)
    std::string sensor;  // the device name at the time
    std::string kind;    // "Temperature", "Humidity", "Water", "Proximity", "Accelerometer", ...
    AlarmEvent event = AlarmEvent::Alarm;
    std::string text;  // the alarm window's text
    std::string user;  // who acknowledged or snoozed
    std::string comment;

    friend bool operator==(const AlarmRecord&, const AlarmRecord&) = default;
};

// Which records to show. Empty or unset parts let everything through.
struct AlarmHistoryFilter {
    std::optional<int> entry;
    std::string sensor;  // device name, compared exactly
    std::string kind;    // compared exactly
    std::optional<AlarmEvent> event;
    std::optional<LocalDateTime> since;  // both ends included
    std::optional<LocalDateTime> until;
    // The last this many hours before the history's clock (0: no such limit). Read() turns it
    // into `since`; Matches() does not look at it.
    int lastHours = 0;

    bool Matches(const AlarmRecord& record) const;
};

// What a read of the history found.
struct AlarmHistoryRead {
    std::vector<AlarmRecord> records;  // in file order, which is time order
    // Lines that could not be read back (cut short, a bad time or event): skipped and counted.
    std::size_t damagedLines = 0;
    std::string error;  // set when the file is there but cannot be read; no records then
};

// ISO 8601 local time to the second: "2026-12-09T14:30:05".
std::string IsoLocalTime(const LocalDateTime& when);
// A TIME of the command line: "2026-12-09" (midnight), "2026-12-09T14:30", "2026-12-09T14:30:05"
// (a blank may stand for the "T"), or a span back from `now`: "24h", "7d". Nothing when the
// text is none of these or names no real date.
std::optional<LocalDateTime> ParseHistoryTime(std::string_view text, const LocalDateTime& now);
// A text on one line: each run of line breaks inside it becomes " / "; those around it go.
std::string SingleLine(std::string_view text);
// One record as a person reads it: "2026-12-09 14:30:05  3 Server room  Temperature  Alarm
// <text>  [user: comment]" (the bracket only with a user or a comment), on one line.
std::string ReadableAlarmLine(const AlarmRecord& record);
// One record as RFC 4180 fields, ending with CR LF.
std::string AlarmCsvLine(const AlarmRecord& record);
// The first line of the file.
inline constexpr const char* kAlarmCsvHeader = "time,entry,sensor,kind,event,text,user,comment\r\n";

// The alarm history: every alarm, OK notice, acknowledgement, snooze and escalation, one line
// each, in "alarms.csv" in the log directory. The file follows the log files' rules: it is
// appended to and never replaced, so it survives restarts, and a log directory that is missing
// or cannot be written is reported, never created behind the user's back. No failure throws.
class AlarmHistory {
public:
    struct Services {
        const Clock& clock;
        Dialogs& dialogs;  // the export's file choice and its outcome
        // The log directory in force; asked at every use, since the user may change it.
        std::function<std::string()> logDirectory;
        LogFileSystem* files = nullptr;  // null: the real file system
    };

    static constexpr const char* kFileName = "alarms.csv";

    explicit AlarmHistory(Services services);
    ~AlarmHistory();
    AlarmHistory(const AlarmHistory&) = delete;
    AlarmHistory& operator=(const AlarmHistory&) = delete;

    // The full path of the history file in the current log directory.
    std::string FilePath() const;

    // Adds one line (and the header first when the file is new). Returns why the line could
    // not be written, empty when it was; the caller journals "Alarm history not written: " and
    // the reason.
    std::string Append(const AlarmRecord& record);
    // How many records this object has written; grows with every successful Append.
    std::uint64_t AppendCount() const { return appended_; }

    // The records that pass `filter`. A missing file is an empty history.
    AlarmHistoryRead Read(const AlarmHistoryFilter& filter = {}) const;

    // Writes `records` to a new file at `path` with the history's header. An existing file is
    // refused unless `overwrite`, and then replaced only once the new one is complete; the
    // history file itself is never a target. Returns the reason for a failure, empty on success.
    std::string ExportCsv(const std::vector<AlarmRecord>& records, const std::string& path,
                          bool overwrite = false);
    // The window's "Export...": asks where, asks before replacing a file, writes, and says how it
    // went.
    void Export(const std::vector<AlarmRecord>& records);

private:
    // Whether the file at `path` (`size` bytes long) ends with a complete line.
    bool EndsWithLineBreak(const std::string& path, std::uint64_t size) const;

    Services s_;
    std::unique_ptr<LogFileSystem> ownFiles_;
    LogFileSystem& files_;
    std::uint64_t appended_ = 0;
    // The file and size after this object's last write: a file still that long ends with our
    // own CR LF, so it need not be read to find out.
    std::string lastPath_;
    std::uint64_t lastSize_ = 0;
};

}  // namespace vigiltron
