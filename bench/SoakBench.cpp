// Soak: the shipped demo (what `vigiltron-manager --headless --demo --virtual-time N` runs) for 60
// simulated days in one run of the real program, with its memory and open files looked at from
// outside at simulated day 1, 30 and 60.
//
//   soak_bench [path/to/vigiltron-manager]     (default: the one built beside this benchmark)
//
// The program is run as users run it, not rebuilt in here: its journal comes through a small
// pipe that this benchmark reads and throws away, and the time stamp of each line tells the
// simulated time. At each mark the benchmark stops reading, so the program soon blocks on its
// next journal line, and reads VmHWM and VmRSS from /proc/PID/status and counts /proc/PID/fd.
// The verdict is "flat" when day 60 is within 1 MiB of day 1 (peak and current) and the same
// descriptors are open. Log files are counted apart: the demo's log directory reaches its quota
// within the 60 days, file logging then stops and its files are closed, which is no leak; and a
// quota rescan may hold the directory open for a moment when a mark is taken.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"

using namespace vigiltron::bench;

namespace {

constexpr long long kDay = 24 * 3600;
constexpr int kDays = 60;
// A little past the last mark, so that day 60 is looked at while the program still runs.
constexpr long long kRunSeconds = kDays * kDay + 3600;
constexpr long kFlatKiB = 1024;

struct Sample {
    std::string label;
    double day = 0;
    long peakKiB = 0;
    long currentKiB = 0;
    long anonymousKiB = 0;            // of the current: heap and stacks, not pages of mapped files
    std::vector<std::string> fds;     // everything but the log directory and its files
    std::vector<std::string> logFds;  // the log directory and its files
};

// "2026-12-08 09:00:05.020 reading: ..." -> seconds, counted as UTC so that a change to or from
// summer time in the simulated weeks does not move the marks.
std::optional<long long> StampSeconds(const char* line) {
    std::tm when{};
    int millis = 0;
    if (std::sscanf(line, "%4d-%2d-%2d %2d:%2d:%2d.%3d", &when.tm_year, &when.tm_mon, &when.tm_mday,
                    &when.tm_hour, &when.tm_min, &when.tm_sec, &millis) != 7) {
        return std::nullopt;
    }
    when.tm_year -= 1900;
    when.tm_mon -= 1;
    return static_cast<long long>(::timegm(&when));
}

Sample Look(const ChildProcess& child, const std::string& label, double day,
            const std::string& logDirectory) {
    Sample s;
    s.label = label;
    s.day = day;
    s.peakKiB = child.StatusKiB("VmHWM").value_or(-1);
    s.currentKiB = child.StatusKiB("VmRSS").value_or(-1);
    s.anonymousKiB = child.StatusKiB("RssAnon").value_or(-1);
    for (const std::string& fd : child.OpenFds()) {
        const bool log = fd.find(" -> " + logDirectory) != std::string::npos;
        (log ? s.logFds : s.fds).push_back(fd);
    }
    std::sort(s.fds.begin(), s.fds.end());
    return s;
}

// Peak RSS of a program that does next to nothing: what any process costs on this machine.
std::optional<long> FloorKiB(const std::vector<std::string>& argv) {
    std::string error;
    auto child = ChildProcess::Start(argv, -1, -1, -1, &error);
    if (!child) {
        return std::nullopt;
    }
    const ChildUsage usage = child->WaitFor(std::chrono::seconds(10));
    return usage.ended ? std::optional<long>(usage.peakRssKiB) : std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string program = argc > 1 ? argv[1] : BuiltProgram("vigiltron-manager");
    if (::access(program.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "soak_bench: no program at %s (give its path)\n", program.c_str());
        return 2;
    }
    const std::string dir = MakeTempDirectory("soak_bench");
    if (dir.empty()) {
        std::perror("soak_bench: temporary directory");
        return 2;
    }

    int journal[2];
    if (::pipe2(journal, O_CLOEXEC) != 0) {
        std::perror("soak_bench: pipe");
        return 2;
    }
    // One page of pipe: the program runs at most a few dozen journal lines past a mark.
    ::fcntl(journal[1], F_SETPIPE_SZ, 4096);
    const int errors = ::open((dir + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    std::string error;
    const auto started = std::chrono::steady_clock::now();
    auto child = ChildProcess::Start({program, "--headless", "--demo", "--virtual-time",
                                      std::to_string(kRunSeconds), "--config-dir", dir + "/config"},
                                     -1, journal[1], errors, &error);
    ::close(journal[1]);
    if (!child) {
        std::fprintf(stderr, "soak_bench: %s\n", error.c_str());
        return 2;
    }

    const std::string logDirectory = dir + "/config/logfiles";
    std::vector<Sample> samples;
    std::optional<double> loggingStopped;
    const double marks[] = {1, 30, kDays};
    std::size_t nextMark = 0;
    bool startSampled = false;
    std::optional<long long> first;
    long long lines = 0;
    FILE* in = ::fdopen(journal[0], "r");
    char* line = nullptr;
    std::size_t capacity = 0;
    while (::getline(&line, &capacity, in) > 0) {
        ++lines;
        const auto stamp = StampSeconds(line);
        if (!stamp) {
            continue;
        }
        if (!first) {
            first = stamp;
        }
        const double day = double(*stamp - *first) / double(kDay);
        if (!loggingStopped && std::strstr(line, " title: ") != nullptr &&
            std::strstr(line, "File Logging stopped") != nullptr) {
            loggingStopped = day;
        }
        if (!startSampled && *stamp - *first >= 60) {
            startSampled = true;  // every sensor has connected by then
            samples.push_back(Look(*child, "after start-up", day, logDirectory));
        }
        if (nextMark < std::size(marks) && day >= marks[nextMark]) {
            samples.push_back(
                Look(*child, "day " + std::to_string(int(marks[nextMark])), day, logDirectory));
            ++nextMark;
        }
    }
    std::free(line);
    std::fclose(in);
    const ChildUsage usage = child->WaitFor(std::chrono::seconds(60));
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (errors >= 0) {
        ::close(errors);
    }

    std::printf("Soak: %s --headless --demo, %d simulated days in one run\n", program.c_str(),
                kDays);
    std::printf(
        "(journal read through a pipe and thrown away; figures from /proc/PID of the "
        "running program)\n\n");
    std::printf("%-16s %14s %18s %20s %12s %9s %13s\n", "mark", "simulated day", "peak RSS (VmHWM)",
                "current RSS (VmRSS)", "of it anon", "open fds", "of them logs");
    for (const Sample& s : samples) {
        std::printf("%-16s %14.3f %14.2f MiB %16.2f MiB %8.2f MiB %9zu %13zu\n", s.label.c_str(),
                    s.day, Mib(s.peakKiB), Mib(s.currentKiB), Mib(s.anonymousKiB),
                    s.fds.size() + s.logFds.size(), s.logFds.size());
    }
    if (loggingStopped) {
        std::printf(
            "file logging stopped at simulated day %.2f: the demo's log directory reached "
            "its quota (journal: \"File Logging stopped because it hit the size limit\")\n",
            *loggingStopped);
    }
    std::printf(
        "\nwhole run: %lld journal lines, %.1f s wall, %.1f s CPU, peak RSS %.1f MiB "
        "(wait4), exit status %d%s\n",
        lines, wall, usage.cpuSeconds, Mib(usage.peakRssKiB),
        WIFEXITED(usage.status) ? WEXITSTATUS(usage.status) : -1,
        usage.ended ? "" : " (did not end: killed)");

    // Floors, measured now on this machine.
    std::printf("floor, same run: ");
    const std::string gawk = FindOnPath("gawk");
    if (const auto kib = gawk.empty() ? std::nullopt : FloorKiB({gawk, "BEGIN{}"})) {
        std::printf("gawk 'BEGIN{}' peak RSS %.1f MiB; ", Mib(*kib));
    }
    if (const auto kib = FloorKiB({"/bin/true"})) {
        std::printf("/bin/true %.1f MiB; ", Mib(*kib));
    }
    if (const auto kib = FloorKiB({program, "--headless", "--demo", "--virtual-time", "0",
                                   "--config-dir", dir + "/config-0"})) {
        std::printf("the program with 0 simulated seconds %.1f MiB", Mib(*kib));
    }
    std::printf("\n\n");

    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);

    if (nextMark < std::size(marks) || samples.size() != 1 + std::size(marks)) {
        std::printf(
            "verdict: incomplete (the run ended before simulated day %g; see the program's "
            "journal)\n",
            marks[std::min(nextMark, std::size(marks) - 1)]);
        return 2;
    }
    const Sample& dayOne = samples[1];
    const Sample& last = samples.back();
    const long peakGrowth = last.peakKiB - dayOne.peakKiB;
    const long currentGrowth = last.currentKiB - dayOne.currentKiB;
    const bool sameFds = last.fds == dayOne.fds;
    // Log files may only have been closed, and only because logging stopped.
    const bool logsAccounted = last.logFds.size() <= dayOne.logFds.size() &&
                               (last.logFds.size() == dayOne.logFds.size() || loggingStopped);
    const bool flat =
        peakGrowth <= kFlatKiB && currentGrowth <= kFlatKiB && sameFds && logsAccounted;
    std::printf(
        "verdict: %s (day %d against day 1: peak %+.2f MiB (%+ld KiB), current %+.2f MiB "
        "(%+ld KiB); other than logs, open fds %zu -> %zu%s; log files and directory %zu "
        "-> %zu)\n",
        flat ? "flat" : "NOT flat", kDays, Mib(peakGrowth), peakGrowth, Mib(currentGrowth),
        currentGrowth, dayOne.fds.size(), last.fds.size(), sameFds ? ", the same ones" : "",
        dayOne.logFds.size(), last.logFds.size());
    // Growth that stops is warm-up; growth that goes on into the second month is a leak.
    const Sample& dayThirty = samples[2];
    std::printf("second month alone (day 30 to day %d): peak %+.2f MiB, current %+.2f MiB\n", kDays,
                Mib(last.peakKiB - dayThirty.peakKiB), Mib(last.currentKiB - dayThirty.currentKiB));
    if (!sameFds || !logsAccounted) {
        std::printf("open at day 1:\n");
        for (const auto* list : {&dayOne.fds, &dayOne.logFds}) {
            for (const auto& fd : *list) {
                std::printf("  %s\n", fd.c_str());
            }
        }
        std::printf("open at day %d:\n", kDays);
        for (const auto* list : {&last.fds, &last.logFds}) {
            for (const auto& fd : *list) {
                std::printf("  %s\n", fd.c_str());
            }
        }
    }
    return flat ? 0 : 1;
}
