#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "config/Preferences.h"
#include "core/Clock.h"
#include "core/DeviceKind.h"
#include "core/DeviceModel.h"
#include "core/Dialogs.h"
#include "core/EventLoop.h"
#include "core/Reading.h"
#include "core/SettingsTree.h"
#include "core/Timer.h"
#include "core/ViewModel.h"
#include "reporting/DiskQuota.h"
#include "reporting/LogFileSystem.h"

namespace vigiltron {

// The GetDateTime stamp used in file names: "12072026_040509" for 4:05:09 PM on 7 December 2026
// (month, day, four-digit year, "_", 12-hour clock without AM/PM).
std::string GetDateTimeStamp(const LocalDateTime& when);

// The data logs of every sensor: the per-sensor log files in the log directory (one current file
// per setup index, rotated at the size limit, with a total-size limit for the directory) and the
// on-screen log views of the tab slots.
//
// File trouble (a full disk, a log directory that vanished or turned read-only) is reported once
// and then waits quietly: readings, alerts and on-screen logs go on, every later line tries the
// file again, and the first line that can be written again ends the trouble.
class LogFiles {
public:
    struct Services {
        EventLoop& loop;  // paces the walks of the log directory
        const Clock& clock;
        Dialogs& dialogs;
        DeviceModel& model;
        ViewModel& view;
        SettingsTree& settingsTree;  // where switching file logging off is saved
        // `logdir`, `CloseFileAfterWrite`, `MaxFileSize`, `HDDTotalAmount`; a directory chosen
        // with "Set Log File Directory" is written back to `logdir`.
        Preferences& prefs;
        LogFileSystem* files = nullptr;  // null: the real file system
    };

    explicit LogFiles(Services services);
    ~LogFiles();
    LogFiles(const LogFiles&) = delete;
    LogFiles& operator=(const LogFiles&) = delete;

    // Where the logs go while `logdir` is empty: the application folder's "logfiles".
    std::string defaultLogDirectory;

    // Hooks to the rest of the program; each may stay unset.
    // Saves a newly chosen `logdir`.
    std::function<void(const std::string& directory)> saveLogDirectory;
    // Whether the sensor port of entry n is open (unset: open). Lines are written only then.
    std::function<bool(int n)> portOpen;
    // The timer that drives entry n's readings or polls (polling timer, proximity event timer,
    // water poll); stopped while its file is replaced. Null or unset: nothing to stop.
    std::function<Timer*(int n, DeviceKind kind)> sensorTimer;
    // Shows a directory in the platform's file browser ("&Open Log Files").
    std::function<void(const std::string& directory)> openDirectory;

    // ---- Connecting and disconnecting ----
    // Creates the first log file of entry n with its header. `suffix` is "" or, for the halves of
    // a combined sensor, "_Humid"/"_Temp". Returns an error description, empty on success;
    // "Path not found" when the log directory does not exist.
    // `continued` marks the header " (Continued)": the sensor came back after its port was lost.
    std::string OpenFirstFile(int n, const std::string& deviceName, const std::string& suffix,
                              bool continued = false);
    void CloseFile(int n);
    // Asks the user for the log directory (after a "Path not found").
    void ChooseLogDirectory() { SetLogFileDirectory(); }

    // ---- Readings ----
    // Logs one polled reading on screen (TabLogging) and to the file (FileLogging, port open):
    // a combined sensor's humidity to the lead's file, its temperature to the next entry's.
    // Returns true when every file line it had to write is written and flushed to the
    // operating system.
    bool FileTabLogging(const Reading& reading);

    // ---- Event sensors (proximity, water, accelerometer, distance) ----
    // Writes one ready-made file line (see LogLines.h) for entry n when its FileLogging is on and
    // its port is open, then checks the file size and the quota. True when written and flushed.
    bool WriteEventLine(int n, DeviceKind kind, const std::string& fileLine);
    // Puts an event line at the top of a slot's view; a view of 2000 lines or more is emptied
    // instead and the line is dropped. The caller checks TabLogging.
    void AddEventScreenLine(Tab tab, int slot, const std::string& line);
    // Distance readings: a view of more than 2000 lines is emptied first; then `line`, when not
    // empty, goes to the top.
    void AddDistanceScreenLine(int slot, const std::string& line);
    // A change of entry n's connection ("Sensor disconnected: port lost"): at the top of its
    // slot view(s) and, with file logging on, in its current file(s) even though the port is
    // closed, so the gap in the readings is explained where they are kept.
    void NoteConnection(int n, const std::string& text);
    // Water lines follow one another at the insertion point, so they read oldest first; a view
    // of 2000 lines is emptied instead and the line dropped.
    void AddWaterScreenLine(int slot, const std::string& line);
    // Mode changes, sensitivity and calibration notes: always put at the top.
    void AddScreenNote(Tab tab, int slot, const std::string& line);

    // ---- Limits ----
    // After every file line: rotates entry n's file (both files of a combined sensor) when it is
    // larger than the size limit in force.
    void CheckFileSize(DeviceKind kind, int n);
    // After every file line: switches file logging off for every entry, and warns in the main
    // window's title, when the log directory holds more than HDDTotalAmount kilobytes.
    void CheckDiskQuota();
    // The per-file size limit in force, in bytes. Until it is set it follows MaxFileSize; the
    // setup window holds it at 1000 kilobytes from start-up until a file-logging option changes.
    void SetSizeLimitInForce(std::uint64_t bytes) { sizeLimit_ = double(bytes); }
    double SizeLimitInForce() const;
    // A file-logging option changed: the limit in force becomes MaxFileSize kilobytes, and the
    // next quota check walks the log directory afresh, since the user may have made room before
    // switching file logging back on.
    void FileLoggingOptionChanged();

    // ---- Commands ----
    // "&Set Log File Directory".
    void SetLogFileDirectory();
    // "&Open Log Files".
    void OpenLogFiles();
    // "Clear Local Log" of a tab slot.
    void ClearLocalLog(Tab tab, int slot);

    // The log directory in use.
    const std::string& LogDirectory() const {
        return s_.prefs.logdir.empty() ? defaultLogDirectory : s_.prefs.logdir;
    }
    // The full path of entry n's current log file; empty when it has none.
    const std::string& CurrentFile(int n) const;
    // Whether writing to the log files is failing (reported, waiting for it to work again).
    bool InTrouble() const { return troubledEntries_ > 0; }

private:
    struct OpenLog {
        std::string path;
        std::string directory;  // the log directory the file was created in
        std::string suffix;
        std::string deviceName;
        std::uint64_t size = 0;                 // bytes in the file, header included
        std::unique_ptr<LogFileHandle> handle;  // null while closed between writes
        bool troubled = false;                  // a write failed and was reported
    };

    OpenLog* At(int n);
    // Creates a new file for `log` with its header, under a name no file has yet.
    std::string StartFile(OpenLog& log, bool continued);
    // Makes sure `log` has an open handle on a file that is still there.
    std::string EnsureOpen(int n, OpenLog& log);
    // Appends one line with CR LF; reports trouble once. True when written and flushed.
    bool AppendLine(int n, const std::string& line);
    // Writes one line and runs the checks that follow every file line.
    bool WriteAndCheck(int n, DeviceKind kind, const std::string& line);
    void Rotate(OpenLog& log);
    void AddPolledScreenLine(Tab tab, int slot, const std::string& line);
    void NoteTrouble(OpenLog& log, const std::string& error);
    void NoteWritten(OpenLog& log);
    void ClearTrouble(OpenLog& log);
    bool PortOpen(int n) const { return !portOpen || portOpen(n); }
    void QuotaHit();

    Services s_;
    std::unique_ptr<LogFileSystem> ownFiles_;
    LogFileSystem& files_;
    DiskQuota quota_;
    std::array<OpenLog, 11> logs_;  // index 0 unused
    int troubledEntries_ = 0;
    std::optional<double> sizeLimit_;  // bytes; unset: MaxFileSize
    std::uint64_t linesLost_ = 0;      // lines that could not be written during the current trouble
};

}  // namespace vigiltron
