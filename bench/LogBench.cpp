// Lines logged per second through FileTabLogging, with the size and quota checks after every
// line, for a log directory holding few and many files. Also shows what a full walk of the
// directory after every line (the naive quota check) would cost.
//
//   log_bench [seconds per run]     (default 6: long enough to include a periodic rescan)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "config/MemorySettingsTree.h"
#include "config/Preferences.h"
#include "core/DeviceModel.h"
#include "core/ViewModel.h"
#include "reporting/DiskQuota.h"
#include "reporting/LogFiles.h"
#include "reporting/StdLogFileSystem.h"
#include "sim/ScriptedDialogs.h"
#include "sim/VirtualEventLoop.h"

namespace fs = std::filesystem;
using namespace vigiltron;
using SteadyClock = std::chrono::steady_clock;

namespace {

// A loop whose time is the real monotonic clock, so the quota's periodic rescans happen as they
// would in the program. Posted work (the slices of a rescan) runs between lines, as a real loop
// runs it between events.
class RealTimeLoop : public EventLoop {
public:
    // Runs what was posted; returns the longest single callback in milliseconds.
    double RunPosted() {
        double longest = 0;
        for (std::size_t n = posted_.size(); n > 0; --n) {
            auto callback = std::move(posted_.front());
            posted_.pop_front();
            const auto start = SteadyClock::now();
            callback();
            longest = std::max(
                longest,
                std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count());
        }
        return longest;
    }

    Milliseconds Elapsed() const override {
        return std::chrono::duration_cast<Milliseconds>(SteadyClock::now() - start_);
    }
    TimerId StartTimer(Milliseconds, std::function<void()>) override { return ++next_; }
    void CancelTimer(TimerId) override {}
    void Post(std::function<void()> callback) override { posted_.push_back(std::move(callback)); }
    void ProcessPendingEvents() override {}
    bool WaitUntil(Milliseconds, const std::function<bool()>& done) override { return done(); }

private:
    SteadyClock::time_point start_ = SteadyClock::now();
    TimerId next_ = 0;
    std::deque<std::function<void()>> posted_;
};

fs::path MakeDirectory(int files) {
    std::random_device random;
    const fs::path dir =
        fs::temp_directory_path() / ("vigiltron-logbench-" + std::to_string(random()));
    fs::create_directories(dir);
    const std::string filler(200, 'x');
    for (int i = 0; i < files; ++i) {
        std::ofstream(dir / ("old-" + std::to_string(i) + ".txt"), std::ios::binary) << filler;
    }
    return dir;
}

struct Result {
    long long lines = 0;
    double seconds = 0;
    double worstMs = 0;
    double worstSliceMs = 0;
    std::uint64_t rotations = 0;
};

Result LogLines(int files, double seconds, bool closeAfterWrite) {
    const fs::path dir = MakeDirectory(files);
    RealTimeLoop loop;
    VirtualClock clock(loop, LocalDateTime{2026, 12, 7, 16, 5, 9, 0});
    ScriptedDialogs dialogs;
    MemorySettingsTree tree;
    DeviceModel model(dialogs, tree);
    ViewModel view;
    Preferences prefs;
    prefs.logdir = dir.string();
    prefs.CloseFileAfterWrite = closeAfterWrite;
    prefs.HDDTotalAmount = "100000000";  // never reached: every check runs to the end
    LogFiles logs(LogFiles::Services{loop, clock, dialogs, model, view, tree, prefs});

    DeviceRecord record;
    record.deviceType = kTypeTemperature;
    record.deviceName = "Bench";
    record.subIndex = "1";
    record.port = 3;
    record.fileLogging = true;
    record.tabLogging = true;
    model.SetEntry(1, record);
    model.CreateSetupArray();
    model.TakeSlot(1);
    view.Row(1).unit = "F";
    if (!logs.OpenFirstFile(1, "Bench", "").empty()) {
        std::fprintf(stderr, "cannot create a log file in %s\n", dir.c_str());
        std::exit(1);
    }

    Result result;
    std::string previous = logs.CurrentFile(1);
    const auto start = SteadyClock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    auto now = start;
    while (now < end) {
        const auto before = now;
        Reading reading;
        reading.setupIndex = 1;
        reading.kind = DeviceKind::Temperature;
        reading.text = std::to_string(60 + result.lines % 40) + ".5";
        logs.FileTabLogging(reading);
        now = SteadyClock::now();
        result.worstMs = std::max(result.worstMs,
                                  std::chrono::duration<double, std::milli>(now - before).count());
        ++result.lines;
        result.worstSliceMs = std::max(result.worstSliceMs, loop.RunPosted());
        now = SteadyClock::now();
        if (logs.CurrentFile(1) != previous) {
            previous = logs.CurrentFile(1);
            ++result.rotations;
        }
    }
    result.seconds = std::chrono::duration<double>(now - start).count();
    if (!dialogs.Messages().empty() || model.Entry(1)->fileLogging == false) {
        std::fprintf(stderr, "unexpected: %s\n",
                     dialogs.Messages().empty() ? "quota hit" : dialogs.Messages()[0].c_str());
    }
    fs::remove_all(dir);
    return result;
}

// The naive check: one full walk of the directory per line (the write itself not included).
double WalkMilliseconds(int files) {
    const fs::path dir = MakeDirectory(files);
    StdLogFileSystem walker;
    const int walks = files > 1000 ? 50 : 5000;
    std::uint64_t sink = 0;
    const auto start = SteadyClock::now();
    for (int i = 0; i < walks; ++i) {
        sink += walker.TotalSize(dir.string());
    }
    const double ms =
        std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count() / walks;
    fs::remove_all(dir);
    return sink > 0 ? ms : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 6.0;
    std::printf(
        "Log line throughput through FileTabLogging (on-screen line, file line flushed to\n"
        "the OS, size check and quota check after every line; full rescan of the log\n"
        "directory every %lld ms). %.1f s per run.\n\n",
        static_cast<long long>(DiskQuota::kRescanPeriod.count()), seconds);
    std::printf("%-8s %-14s %12s %12s %14s %15s %10s\n", "files", "file mode", "lines/s", "us/line",
                "worst line ms", "worst slice ms", "rotations");
    for (const int files : {10, 10000}) {
        for (const bool closeAfterWrite : {false, true}) {
            const Result r = LogLines(files, seconds, closeAfterWrite);
            std::printf("%-8d %-14s %12.0f %12.2f %14.2f %15.2f %10llu\n", files,
                        closeAfterWrite ? "close/reopen" : "kept open", r.lines / r.seconds,
                        1e6 * r.seconds / r.lines, r.worstMs, r.worstSliceMs,
                        static_cast<unsigned long long>(r.rotations));
        }
    }
    std::printf(
        "\nlines/s and us/line include the rescan slices run between lines; \"worst line\" is\n"
        "the longest single FileTabLogging call, \"worst slice\" the longest rescan slice.\n");
    std::printf("\nNaive quota check (a full walk of the directory per line), walk alone:\n");
    for (const int files : {10, 10000}) {
        const double ms = WalkMilliseconds(files);
        std::printf("%-8d %10.3f ms per line  (at most %.0f lines/s)\n", files, ms, 1000.0 / ms);
    }
    return 0;
}
