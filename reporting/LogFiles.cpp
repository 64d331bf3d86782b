#include "reporting/LogFiles.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vigiltron {

namespace fs = std::filesystem;

std::string GetDateTimeStamp(const LocalDateTime& when) {
    const int hour12 = when.hour % 12 == 0 ? 12 : when.hour % 12;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d%02d%04d_%02d%02d%02d", when.month, when.day, when.year,
                  hour12, when.minute, when.second);
    return stamp;
}

LogFiles::LogFiles(const Clock& clock, Dialogs& dialogs, Settings& settings,
                   std::function<void(const std::string&)> saveLogDirectory)
    : clock_(clock),
      dialogs_(dialogs),
      settings_(settings),
      saveLogDirectory_(std::move(saveLogDirectory)) {}

LogFiles::~LogFiles() = default;

const std::string& LogFiles::CurrentFile(int n) const {
    static const std::string none;
    return n >= 1 && n <= 10 ? logs_[n].path : none;
}

std::string LogFiles::NewFileName(const std::string& suffix) const {
    const std::string base =
        (fs::path(settings_.logDirectory) / GetDateTimeStamp(clock_.Now())).string();
    // Two files started within the same second would share a name; a number keeps both.
    std::string candidate = base + suffix + ".txt";
    std::error_code ec;
    for (int copy = 2; fs::exists(candidate, ec); ++copy) {
        candidate = base + "-" + std::to_string(copy) + suffix + ".txt";
    }
    return candidate;
}

std::string LogFiles::CreateWithHeader(OpenLog& log, bool continued) {
    std::error_code ec;
    if (!fs::is_directory(settings_.logDirectory, ec)) {
        return "Path not found";
    }
    log.path = NewFileName(log.suffix);
    auto stream = std::make_unique<std::ofstream>(log.path, std::ios::binary | std::ios::app);
    if (!*stream) {
        return "Cannot create the log file " + log.path;
    }
    const LocalDateTime now = clock_.Now();
    *stream << log.deviceName << (continued ? " (Continued)" : "") << "\r\n"
            << "Log file started: " << clock_.ShortDate(now) << "," << clock_.LongTime(now)
            << "\r\n"
            << "\r\n";
    stream->flush();
    if (!*stream) {
        return "Cannot write the log file " + log.path;
    }
    if (settings_.closeFileAfterWrite) {
        stream.reset();
    }
    log.stream = std::move(stream);
    return "";
}

std::string LogFiles::OpenFirstFile(int n, const std::string& deviceName,
                                    const std::string& suffix) {
    if (n < 1 || n > 10) {
        return "";
    }
    OpenLog& log = logs_[n];
    log.stream.reset();
    log.deviceName = deviceName;
    log.suffix = suffix;
    return CreateWithHeader(log, false);
}

void LogFiles::CloseFile(int n) {
    if (n >= 1 && n <= 10) {
        logs_[n].stream.reset();
    }
}

void LogFiles::SetLogFileDirectory() {
    const auto answer = dialogs_.AskText("Please enter the full path name including drive letter:",
                                         "Log file directory", settings_.logDirectory);
    if (!answer) {
        settings_.logDirectory = settings_.defaultLogDirectory;
        return;
    }
    const bool blank = answer->find_first_not_of(' ') == std::string::npos;
    const std::string chosen = blank ? settings_.defaultLogDirectory : *answer;
    std::error_code ec;
    fs::create_directories(chosen, ec);
    if (ec) {
        dialogs_.ShowMessage("Error setting directory. " + ec.message());
        settings_.logDirectory = settings_.defaultLogDirectory;
        if (saveLogDirectory_) {
            saveLogDirectory_(settings_.logDirectory);
        }
        return;
    }
    settings_.logDirectory = chosen;
    if (saveLogDirectory_) {
        saveLogDirectory_(chosen);
    }
}

}  // namespace vigiltron
