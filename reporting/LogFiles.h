#pragma once

#include <array>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "core/Clock.h"
#include "core/Dialogs.h"
#include "core/SensorLink.h"

namespace vigiltron {

// The GetDateTime stamp used in file names: "12072026_040509" for 4:05:09 PM on 7 December 2026
// (month, day, four-digit year, "_", 12-hour clock without AM/PM).
std::string GetDateTimeStamp(const LocalDateTime& when);

// The per-sensor log files: one current file per setup index in the log directory.
class LogFiles : public SensorLogFiles {
public:
    struct Settings {
        std::string logDirectory;
        std::string defaultLogDirectory;
        bool closeFileAfterWrite = false;
    };

    LogFiles(const Clock& clock, Dialogs& dialogs, Settings& settings,
             std::function<void(const std::string&)> saveLogDirectory);
    ~LogFiles() override;

    std::string OpenFirstFile(int n, const std::string& deviceName,
                              const std::string& suffix) override;
    void CloseFile(int n) override;
    void ChooseLogDirectory() override { SetLogFileDirectory(); }

    // "&Set Log File Directory".
    void SetLogFileDirectory();

    // The full path of entry n's current log file; empty when it has none.
    const std::string& CurrentFile(int n) const;

private:
    struct OpenLog {
        std::string path;
        std::string suffix;
        std::string deviceName;
        std::unique_ptr<std::ofstream> stream;  // null while closed between writes
    };

    // A file name in the log directory for the current moment that no existing file has.
    std::string NewFileName(const std::string& suffix) const;
    std::string CreateWithHeader(OpenLog& log, bool continued);

    const Clock& clock_;
    Dialogs& dialogs_;
    Settings& settings_;
    std::function<void(const std::string&)> saveLogDirectory_;
    std::array<OpenLog, 11> logs_;
};

}  // namespace vigiltron
