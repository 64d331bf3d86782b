#include "reporting/LogFiles.h"

#include <charconv>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <vector>

#include "config/Preferences.h"
#include "reporting/LogLines.h"
#include "reporting/StdLogFileSystem.h"

namespace vigiltron {

namespace {

// On-screen views are cut back when they reach this many lines.
constexpr std::size_t kViewLineLimit = 2000;
// Files started within one second get numbered names; beyond this something else is wrong.
constexpr int kMaxNamesPerStamp = 1000;

// A size preference in kilobytes, as bytes. Text that holds no number gives the default; a
// negative number counts as 0.
double KilobytesAsBytes(const std::string& text, double fallbackKilobytes) {
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    while (begin != end && (*begin == ' ' || *begin == '\t')) {
        ++begin;
    }
    double kilobytes = 0;
    const auto [stop, error] = std::from_chars(begin, end, kilobytes);
    if (error != std::errc() || stop == begin) {
        kilobytes = fallbackKilobytes;
    }
    return kilobytes > 0 ? kilobytes * 1024.0 : 0.0;
}

}  // namespace

std::string GetDateTimeStamp(const LocalDateTime& when) {
    const int hour12 = when.hour % 12 == 0 ? 12 : when.hour % 12;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d%02d%04d_%02d%02d%02d", when.month, when.day, when.year,
                  hour12, when.minute, when.second);
    return stamp;
}

LogFiles::LogFiles(Services services)
    : s_(services),
      ownFiles_(services.files != nullptr ? nullptr : std::make_unique<StdLogFileSystem>()),
      files_(services.files != nullptr ? *services.files : *ownFiles_),
      quota_(services.loop, files_) {}

LogFiles::~LogFiles() = default;

LogFiles::OpenLog* LogFiles::At(int n) {
    return n >= 1 && n <= 10 ? &logs_[n] : nullptr;
}

const std::string& LogFiles::CurrentFile(int n) const {
    static const std::string none;
    return n >= 1 && n <= 10 ? logs_[n].path : none;
}

// ---- Files ----

std::string LogFiles::StartFile(OpenLog& log, bool continued) {
    const std::string directory = LogDirectory();
    if (!files_.IsDirectory(directory)) {
        return "Path not found";
    }
    const LocalDateTime now = s_.clock.Now();
    const std::string base = (std::filesystem::path(directory) / GetDateTimeStamp(now)).string();
    const std::string header = log.deviceName + (continued ? " (Continued)" : "") + "\r\n" +
                               "Log file started: " + s_.clock.ShortDate(now) + "," +
                               s_.clock.LongTime(now) + "\r\n" + "\r\n";
    // Files started within the same second would share a name; a number keeps every one of them,
    // and exclusive creation means an existing file is never replaced.
    for (int copy = 1; copy <= kMaxNamesPerStamp; ++copy) {
        const std::string candidate =
            base + (copy == 1 ? "" : "-" + std::to_string(copy)) + log.suffix + ".txt";
        LogFileSystem::Opened opened = files_.Open(candidate, LogFileSystem::OpenMode::CreateNew);
        if (opened.exists) {
            continue;
        }
        if (!opened.file) {
            return opened.error;
        }
        const std::string error = opened.file->Write(header);
        if (!error.empty()) {
            return error;
        }
        log.handle.reset();
        log.path = candidate;
        log.directory = directory;
        log.size = header.size();
        quota_.NoteWritten(directory, candidate, header.size());
        if (!s_.prefs.CloseFileAfterWrite) {
            log.handle = std::move(opened.file);
        }
        return "";
    }
    return "Too many log files started within one second";
}

std::string LogFiles::EnsureOpen(int n, OpenLog& log) {
    std::optional<std::uint64_t> size;
    if (log.path.empty()) {
        // File logging was switched on after the sensor was connected: start its first file.
        if (const DeviceRecord* record = s_.model.Entry(n); record && log.deviceName.empty()) {
            log.deviceName = record->deviceName;
            log.suffix = s_.model.IsComboTemperatureHalf(n)     ? "_Temp"
                         : record->kind == DeviceKind::Combined ? "_Humid"
                                                                : "";
        }
        const std::string error = StartFile(log, false);
        if (!error.empty()) {
            return error;
        }
        size = log.size;
    } else {
        size = files_.FileSize(log.path);
    }
    if (!size) {
        // The file was removed or replaced by something that is not a file: a handle still open
        // on it would write into nowhere.
        log.handle.reset();
        if (!files_.Exists(log.path)) {
            const std::string error = StartFile(log, true);
            if (!error.empty()) {
                return error;
            }
            size = log.size;
        }
    }
    if (!log.handle) {
        LogFileSystem::Opened opened = files_.Open(log.path, LogFileSystem::OpenMode::Append);
        if (!opened.file) {
            return opened.error;
        }
        log.handle = std::move(opened.file);
    }
    log.size = size.value_or(0);
    return "";
}

bool LogFiles::AppendLine(int n, const std::string& line) {
    OpenLog* log = At(n);
    if (log == nullptr) {
        return false;
    }
    const std::string data = line + "\r\n";
    std::string error = EnsureOpen(n, *log);
    if (error.empty()) {
        error = log->handle->Write(data);
    }
    if (!error.empty()) {
        // A half-written buffer must not be written again later: start from a fresh handle.
        log->handle.reset();
        NoteTrouble(*log, error);
        return false;
    }
    log->size += data.size();
    quota_.NoteWritten(log->directory, log->path, data.size());
    NoteWritten(*log);
    return true;
}

bool LogFiles::WriteAndCheck(int n, DeviceKind kind, const std::string& line) {
    const bool written = AppendLine(n, line);
    if (written) {
        CheckFileSize(kind, n);
        CheckDiskQuota();
    }
    if (s_.prefs.CloseFileAfterWrite) {
        if (OpenLog* log = At(n)) {
            log->handle.reset();
        }
    }
    return written;
}

void LogFiles::Rotate(OpenLog& log) {
    log.handle.reset();
    const std::string error = StartFile(log, true);
    if (!error.empty()) {
        // The old file stays current: the next line goes there and the rotation is tried again.
        NoteTrouble(log, error);
    }
}

std::string LogFiles::OpenFirstFile(int n, const std::string& deviceName, const std::string& suffix,
                                    bool continued) {
    OpenLog* log = At(n);
    if (log == nullptr) {
        return "";
    }
    log->handle.reset();
    log->deviceName = deviceName;
    log->suffix = suffix;
    const std::string error = StartFile(*log, continued);
    if (error.empty()) {
        NoteWritten(*log);
        // The first walk of a directory is a full one: have it now rather than on a reading.
        quota_.DirectoryBytes(LogDirectory());
    }
    return error;
}

void LogFiles::CloseFile(int n) {
    if (OpenLog* log = At(n)) {
        log->handle.reset();
        ClearTrouble(*log);
    }
}

// ---- Trouble reporting ----

void LogFiles::NoteTrouble(OpenLog& log, const std::string& error) {
    ++linesLost_;
    if (log.troubled) {
        return;
    }
    log.troubled = true;
    if (troubledEntries_++ > 0) {
        return;  // already reported; one message covers every file
    }
    const std::string where = log.path.empty() ? "in " + LogDirectory() : log.path;
    s_.dialogs.ShowMessage("Error Description = Cannot write the log file " + where + ": " + error +
                               ". Readings and alerts go on; file logging resumes by itself "
                               "as soon as the log files can be written again.",
                           MessageIcon::Exclamation);
}

void LogFiles::NoteWritten(OpenLog& log) {
    if (!log.troubled) {
        return;
    }
    const std::uint64_t lost = linesLost_;
    ClearTrouble(log);
    if (troubledEntries_ == 0) {
        s_.dialogs.ShowMessage("File logging has resumed: the log files can be written again. " +
                                   std::to_string(lost) +
                                   " log line(s) could not be written meanwhile.",
                               MessageIcon::Information);
    }
}

void LogFiles::ClearTrouble(OpenLog& log) {
    if (!log.troubled) {
        return;
    }
    log.troubled = false;
    if (--troubledEntries_ == 0) {
        linesLost_ = 0;
    }
}

// ---- Readings and events ----

bool LogFiles::FileTabLogging(const Reading& reading) {
    try {
        const int n = reading.setupIndex;
        // A combined sensor's halves share the lead's switches; its temperature half logs to
        // the entry after the lead.
        const int lead = s_.model.LeadIndexOf(n);
        const DeviceRecord* record = s_.model.Entry(lead);
        if (record == nullptr) {
            return false;
        }
        const bool combined = s_.model.ComboPartnerOf(lead) != 0;
        if (record->tabLogging) {
            switch (reading.kind) {
                case DeviceKind::Temperature:
                case DeviceKind::Humidity: {
                    const Tab tab =
                        reading.kind == DeviceKind::Temperature ? Tab::Temperature : Tab::Humidity;
                    AddPolledScreenLine(tab, s_.model.SlotOf(lead, tab),
                                        ReadingScreenLine(s_.clock, reading.text, reading.unit));
                    break;
                }
                case DeviceKind::Distance:
                    AddPolledScreenLine(Tab::Distance, s_.model.SlotOf(n, Tab::Distance),
                                        DashScreenLine(s_.clock, reading.text));
                    break;
                case DeviceKind::Accelerometer:
                    AddPolledScreenLine(Tab::Accelerometer, s_.model.SlotOf(n, Tab::Accelerometer),
                                        ColonScreenLine(s_.clock, reading.text));
                    break;
                default:
                    break;
            }
            s_.view.Changed();
        }
        if (!record->fileLogging || !PortOpen(n)) {
            return true;
        }
        const std::string line = reading.kind == DeviceKind::Accelerometer
                                     ? ReceivedFileLine(s_.clock, reading.text)
                                     : ReadingFileLine(s_.clock, reading.text);
        return WriteAndCheck(n, combined ? DeviceKind::Combined : reading.kind, line);
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage(std::string("Error Description = ") + failure.what());
        return false;
    }
}

bool LogFiles::WriteEventLine(int n, DeviceKind kind, const std::string& fileLine) {
    try {
        const DeviceRecord* record = s_.model.Entry(n);
        if (record == nullptr || !record->fileLogging || !PortOpen(n)) {
            return false;
        }
        return WriteAndCheck(n, kind, fileLine);
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage(std::string("Error Description = ") + failure.what());
        return false;
    }
}

// ---- On-screen views ----

void LogFiles::AddPolledScreenLine(Tab tab, int slot, const std::string& line) {
    if (slot < 1 || slot > 4) {
        return;
    }
    std::deque<std::string>& view = s_.view.Slot(tab, slot).log;
    if (view.size() >= kViewLineLimit) {
        // A full view starts over with the date, so the reset is visible as a day marker.
        view.assign(1, ScreenDate(s_.clock.Now()));
    } else {
        view.push_front(line);
    }
}

void LogFiles::AddEventScreenLine(Tab tab, int slot, const std::string& line) {
    if (slot < 1 || slot > 4) {
        return;
    }
    std::deque<std::string>& view = s_.view.Slot(tab, slot).log;
    if (view.size() >= kViewLineLimit) {
        view.clear();
    } else {
        view.push_front(line);
    }
    s_.view.Changed();
}

void LogFiles::AddDistanceScreenLine(int slot, const std::string& line) {
    if (slot < 1 || slot > 4) {
        return;
    }
    std::deque<std::string>& view = s_.view.Slot(Tab::Distance, slot).log;
    if (view.size() > kViewLineLimit) {
        view.clear();
    }
    if (!line.empty()) {
        view.push_front(line);
    }
    s_.view.Changed();
}

void LogFiles::NoteConnection(int n, const std::string& text) {
    try {
        const DeviceRecord* record = s_.model.Entry(n);
        if (record == nullptr) {
            return;
        }
        const DeviceKind kind = s_.model.EffectiveKind(n);
        const int partner = s_.model.ComboPartnerOf(n);
        std::vector<std::pair<int, Tab>> places;
        if (partner != 0) {
            places = {{n, Tab::Humidity}, {partner, Tab::Temperature}};
        } else if (const std::optional<Tab> tab = TabOfKind(kind)) {
            places = {{n, *tab}};
        }
        for (const auto& [index, tab] : places) {
            AddScreenNote(tab, s_.model.SlotOf(n, tab), ColonScreenLine(s_.clock, text));
            if (record->fileLogging && !At(index)->path.empty()) {
                WriteAndCheck(index, kind, ReceivedFileLine(s_.clock, text));
            }
        }
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage(std::string("Error Description = ") + failure.what());
    }
}

void LogFiles::AddWaterScreenLine(int slot, const std::string& line) {
    if (slot < 1 || slot > 4) {
        return;
    }
    std::deque<std::string>& view = s_.view.Slot(Tab::Water, slot).log;
    if (view.size() >= kViewLineLimit) {
        view.clear();
        return;
    }
    view.push_back(line);
}

void LogFiles::AddScreenNote(Tab tab, int slot, const std::string& line) {
    if (slot < 1 || slot > 4) {
        return;
    }
    s_.view.Slot(tab, slot).log.push_front(line);
    s_.view.Changed();
}

void LogFiles::ClearLocalLog(Tab tab, int slot) {
    if (slot < 1 || slot > 4) {
        return;
    }
    s_.view.Slot(tab, slot).log.clear();
    s_.view.Changed();
}

// ---- Limits ----

void LogFiles::CheckFileSize(DeviceKind kind, int n) {
    Timer* timer = nullptr;
    bool restartTimer = false;
    try {
        const bool combined = kind == DeviceKind::Combined;
        const int lead = combined ? s_.model.LeadIndexOf(n) : n;
        std::vector<OpenLog*> files;
        if (OpenLog* log = At(lead); log != nullptr && !log->path.empty()) {
            files.push_back(log);
        }
        // A combined sensor's temperature file sits at the next index; never touch another
        // sensor's file there.
        if (OpenLog* next = combined ? At(lead + 1) : nullptr;
            next != nullptr && !next->path.empty() && next->suffix == "_Temp") {
            files.push_back(next);
        }
        const double limit = SizeLimitInForce();
        bool tooLarge = false;
        for (const OpenLog* log : files) {
            tooLarge = tooLarge || static_cast<double>(log->size) > limit;
        }
        if (!tooLarge) {
            return;
        }
        CheckDiskQuota();
        if (const DeviceRecord* record = s_.model.Entry(lead); record && !record->fileLogging) {
            return;  // the quota has just stopped file logging: no new file to fill
        }
        // No reading may be logged while the file is being replaced.
        timer = sensorTimer ? sensorTimer(lead, kind) : nullptr;
        if (timer != nullptr && timer->Enabled()) {
            timer->SetEnabled(false);
            restartTimer = true;
        }
        for (OpenLog* log : files) {
            Rotate(*log);
        }
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage(std::string("Error in CheckFileSize ") + failure.what());
    }
    if (restartTimer) {
        timer->SetEnabled(true);
    }
}

double LogFiles::SizeLimitInForce() const {
    return sizeLimit_ ? *sizeLimit_ : KilobytesAsBytes(s_.prefs.MaxFileSize, 1000);
}

void LogFiles::FileLoggingOptionChanged() {
    sizeLimit_ = KilobytesAsBytes(s_.prefs.MaxFileSize, 1000);
    quota_.Invalidate();
}

void LogFiles::CheckDiskQuota() {
    const double limit = KilobytesAsBytes(s_.prefs.HDDTotalAmount, 10000);
    if (static_cast<double>(quota_.DirectoryBytes(LogDirectory())) > limit) {
        QuotaHit();
    }
}

void LogFiles::QuotaHit() {
    s_.view.mainTitle = " * WARNING * File Logging stopped because it hit the size limit.";
    for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
        if (DeviceRecord* record = s_.model.Entry(n)) {
            record->fileLogging = false;
        }
        s_.settingsTree.SaveSetting(DeviceModel::DeviceSection(n), "FileLogging", "0");
        logs_[n].handle.reset();
        ClearTrouble(logs_[n]);
    }
    s_.view.Changed();
}

// ---- Commands ----

void LogFiles::SetLogFileDirectory() {
    const auto save = [this](const std::string& directory) {
        if (saveLogDirectory) {
            saveLogDirectory(directory);
        }
    };
    try {
        const auto answer = s_.dialogs.AskText(
            "Please enter the full path name including drive letter:", "Log file directory",
            LogDirectory());
        if (!answer) {
            s_.prefs.logdir = defaultLogDirectory;
            return;
        }
        const bool blank = answer->find_first_not_of(' ') == std::string::npos;
        const std::string chosen = blank ? defaultLogDirectory : *answer;
        const std::string error = files_.CreateDirectories(chosen);
        if (!error.empty()) {
            s_.dialogs.ShowMessage("Error setting directory. " + error);
            s_.prefs.logdir = defaultLogDirectory;
            save(LogDirectory());
            return;
        }
        s_.prefs.logdir = chosen;
        save(chosen);
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage(std::string("Error setting directory. ") + failure.what());
        s_.prefs.logdir = defaultLogDirectory;
        save(LogDirectory());
    }
}

void LogFiles::OpenLogFiles() {
    if (openDirectory) {
        openDirectory(LogDirectory());
    }
}

}  // namespace vigiltron
