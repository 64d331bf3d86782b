// Reading a week of one-minute readings back from a sensor's log files (what the history chart
// asks for), beside floors measured in the same run on the same files: reading their bytes in
// this process, `wc -l`, and gawk adding up the values.
//
//   history_bench [runs]     (default 20; the median and the fastest run are printed)
//
// The files are written by the real LogFiles on a virtual clock, rotated at 64 KB, with a second
// sensor logging into the same directory so the reader has files to pass over.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "config/MemorySettingsTree.h"
#include "config/Preferences.h"
#include "core/DeviceModel.h"
#include "core/ViewModel.h"
#include "reporting/LogFiles.h"
#include "reporting/LogHistory.h"
#include "reporting/StdLogFileSystem.h"
#include "sim/ScriptedDialogs.h"
#include "sim/VirtualEventLoop.h"

namespace fs = std::filesystem;
using namespace vigiltron;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr int kWeekOfMinutes = 7 * 24 * 60;

struct Figures {
    double medianMs = 0;
    double fastestMs = 0;
};

template <typename Run>
Figures Measure(int runs, Run&& run) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = SteadyClock::now();
        run();
        times.push_back(
            std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front()};
}

// Writes the week through the real log files: the sensor "Server room" (temperature) and
// "Cellar" (humidity), one reading a minute each.
void WriteWeek(const std::string& dir, const LocalDateTime& start) {
    VirtualEventLoop loop;
    VirtualClock clock{loop, start};
    ScriptedDialogs dialogs;
    MemorySettingsTree tree;
    DeviceModel model{dialogs, tree};
    ViewModel view;
    Preferences prefs;
    prefs.logdir = dir;
    prefs.MaxFileSize = "64";
    LogFiles logs{LogFiles::Services{loop, clock, dialogs, model, view, tree, prefs}};
    const char* types[] = {kTypeTemperature, kTypeHumidity};
    const char* names[] = {"Server room", "Cellar"};
    for (int n = 1; n <= 2; ++n) {
        DeviceRecord record;
        record.deviceType = types[n - 1];
        record.deviceName = names[n - 1];
        record.port = n;
        record.subIndex = "1";
        record.fileLogging = true;
        record.tabLogging = false;
        model.SetEntry(n, record);
        model.CreateSetupArray();
        model.TakeSlot(n);
        logs.OpenFirstFile(n, names[n - 1], "");
    }
    for (int minute = 0; minute < kWeekOfMinutes; ++minute) {
        Reading reading;
        reading.setupIndex = 1;
        reading.kind = DeviceKind::Temperature;
        reading.text = std::to_string(60 + minute % 300 / 10) + "." + std::to_string(minute % 10);
        logs.FileTabLogging(reading);
        reading.setupIndex = 2;
        reading.kind = DeviceKind::Humidity;
        reading.text = std::to_string(30 + minute % 40);
        logs.FileTabLogging(reading);
        loop.RunFor(Milliseconds(60'000));
    }
}

// Wall time of a program over the files, from its start to its end; its output in `output`.
Figures MeasureProgram(int runs, std::vector<std::string> argv, const std::string& outputPath,
                       std::string& output) {
    const Figures figures = Measure(runs, [&] {
        const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::string error;
        if (auto child = bench::ChildProcess::Start(argv, -1, out, -1, &error)) {
            child->WaitFor(std::chrono::milliseconds(60'000));
        } else {
            std::fprintf(stderr, "%s: %s\n", argv[0].c_str(), error.c_str());
        }
        ::close(out);
    });
    std::ifstream in(outputPath);
    std::getline(in, output);
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const std::string dir = bench::MakeTempDirectory("history_bench");
    if (dir.empty()) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }
    const LocalDateTime start{2026, 12, 1, 8, 0, 0, 0};
    WriteWeek(dir, start);
    const LocalDateTime now = AddMilliseconds(start, kWeekOfMinutes * 60'000LL);

    StdLogFileSystem files;
    LogHistory reader(files);
    const History week = reader.Read(dir, "Server room", "", HistoryRange::Last7Days, now);
    std::uint64_t bytes = 0;
    for (const std::string& path : week.files) {
        bytes += fs::file_size(path);
    }
    std::size_t directoryFiles = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) {
        ++directoryFiles;
    }
    std::printf(
        "A week of one-minute readings: %zu points from %zu of the %zu files (%.0f KB), "
        "%zu lines skipped%s%s\n",
        week.points.size(), week.files.size(), directoryFiles, bytes / 1024.0, week.skippedLines,
        week.error.empty() ? "" : ", error: ", week.error.c_str());
    if (week.points.size() != std::size_t(kWeekOfMinutes) || week.skippedLines != 0) {
        std::fprintf(stderr, "expected %d points and no skipped line\n", kWeekOfMinutes);
        return 1;
    }

    std::printf("\n%-46s %12s %12s\n", ("each run " + std::to_string(runs) + " times").c_str(),
                "median ms", "fastest ms");
    const auto row = [](const std::string& name, const Figures& figures) {
        std::printf("%-46s %12.2f %12.2f\n", name.c_str(), figures.medianMs, figures.fastestMs);
    };
    std::size_t sink = 0;
    row("LogHistory::Read, last 7 days", Measure(runs, [&] {
            sink += reader.Read(dir, "Server room", "", HistoryRange::Last7Days, now).points.size();
        }));
    row("LogHistory::Read, last hour", Measure(runs, [&] {
            sink += reader.Read(dir, "Server room", "", HistoryRange::LastHour, now).points.size();
        }));
    row("floor: the sensor's files' bytes, in process", Measure(runs, [&] {
            for (const std::string& path : week.files) {
                sink += files.ReadFile(path)->size();
            }
        }));

    std::vector<std::string> wc{bench::FindOnPath("wc"), "-l"};
    wc.insert(wc.end(), week.files.begin(), week.files.end());
    std::string gawkPath = bench::FindOnPath("gawk");
    if (gawkPath.empty()) {
        gawkPath = bench::FindOnPath("awk");
    }
    std::vector<std::string> gawk{gawkPath, "-F, ", "FNR > 3 { n++; s += $2 } END { print n, s }"};
    gawk.insert(gawk.end(), week.files.begin(), week.files.end());
    const std::string outputPath = dir + "/floor-output";
    std::string output;
    if (!wc[0].empty()) {
        row("floor: wc -l over the same files", MeasureProgram(runs, wc, outputPath, output));
    }
    if (!gawkPath.empty()) {
        const Figures figures = MeasureProgram(runs, gawk, outputPath, output);
        row("floor: " + fs::path(gawkPath).filename().string() + " adding up the values", figures);
        std::printf("  (%s counted and summed: %s)\n",
                    fs::path(gawkPath).filename().string().c_str(), output.c_str());
    }
    std::printf("\nTarget: well under 1000 ms for the week.%s\n", sink == 0 ? " (no points)" : "");

    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return 0;
}
