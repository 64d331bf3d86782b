// Stream: a distance sensor streaming on a pseudo-terminal to the real program, run as users run
// it (`vigiltron-manager --headless` with a port map entry), and the same lines read by gawk as
// the floor. Two runs each: a burst of 20,000 lines written as fast as the pseudo-terminal takes
// them, and 6,000 lines at 100 lines a second.
//
//   stream_bench [--keep] [path/to/vigiltron-manager]
//
// (default: the program built beside this benchmark; --keep leaves the settings, log files and
// gawk's output in the temporary directory for a look afterwards)
//
// This benchmark plays the sensor on the master side: it answers the identification ("i") with
// "Vigiltron/D v2.1", the stream and mode commands ("D+", "S", "E", "M<n>") with "OK", and once
// the program has connected and started the stream it sends "NNcm" lines. For each run it
// prints the lines found in the log files afterwards (every file of the log directory, so
// continued files count too), the CPU time of the process (wait4) and its peak RSS. After the
// last line it waits until every line is counted or the count has not grown for 3 s (60 s at
// most), then stops the process with SIGTERM. The targets: every line logged, and CPU within 3
// times gawk's.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"

using namespace vigiltron::bench;
using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;
namespace fs = std::filesystem;

namespace {

constexpr int kBurstLines = 20000;
constexpr int kPacedLines = 6000;
constexpr int kPacedPerSecond = 100;
constexpr milliseconds kConnectBound{30000};
constexpr milliseconds kQuietAfterLast{3000};
constexpr milliseconds kSettleBound{60000};
constexpr milliseconds kExitBound{10000};

// The distance line number k: "40cm" .. "99cm", inside the default 30..100 cm range, so the
// program raises no alarm and only logs.
std::string DistanceLine(int k) {
    return std::to_string(40 + k % 60) + "cm\r";
}

// A logged distance reading: a line that ends in digits and "cm" after a blank, as both
// "12/8/2026,9:05:09 PM: 55cm" (the program) and "12/08/2026 21:05:09 55cm" (gawk) do.
bool IsDistanceLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.remove_suffix(1);
    }
    if (line.size() < 4 || line.substr(line.size() - 2) != "cm") {
        return false;
    }
    std::size_t i = line.size() - 2;
    std::size_t digits = 0;
    while (i > 0 && line[i - 1] >= '0' && line[i - 1] <= '9') {
        --i;
        ++digits;
    }
    return digits > 0 && i > 0 && line[i - 1] == ' ';
}

// Counts distance lines in every file under a directory (or one file), reading only what was
// added since the last call, so it can be asked every quarter second without loading the disk.
class LineCounter {
public:
    explicit LineCounter(std::string path) : path_(std::move(path)) {}

    long Count() {
        std::error_code error;
        if (fs::is_directory(path_, error)) {
            for (const auto& entry : fs::directory_iterator(path_, error)) {
                if (entry.is_regular_file(error)) {
                    ReadNew(entry.path().string());
                }
            }
        } else if (fs::exists(path_, error)) {
            ReadNew(path_);
        }
        return count_;
    }

private:
    struct FileState {
        std::uint64_t offset = 0;
        std::string partial;
    };

    void ReadNew(const std::string& file) {
        FileState& state = files_[file];
        std::ifstream in(file, std::ios::binary);
        in.seekg(std::streamoff(state.offset));
        char buffer[65536];
        while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
            const std::size_t got = std::size_t(in.gcount());
            state.offset += got;
            for (std::size_t i = 0; i < got; ++i) {
                if (buffer[i] == '\n') {
                    count_ += IsDistanceLine(state.partial) ? 1 : 0;
                    state.partial.clear();
                } else if (state.partial.size() < 256) {
                    state.partial.push_back(buffer[i]);
                }
            }
        }
    }

    std::string path_;
    std::map<std::string, FileState> files_;
    long count_ = 0;
};

// The sensor's end of the cable: the master side of a pseudo-terminal whose slave the program
// under test opens as its serial port.
class SensorEnd {
public:
    ~SensorEnd() {
        for (const int fd : {master_, slave_}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    bool Open(std::string* error) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        char name[128];
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
            ::ptsname_r(master_, name, sizeof name) != 0) {
            *error = std::string("pseudo-terminal: ") + std::strerror(errno);
            return false;
        }
        slavePath_ = name;
        // Held open for the whole run: the line stays raw, and the program's closing and opening
        // the port never leaves the master hung up.
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios settings{};
        if (slave_ < 0 || ::tcgetattr(slave_, &settings) != 0) {
            *error = "cannot open " + slavePath_ + ": " + std::strerror(errno);
            return false;
        }
        ::cfmakeraw(&settings);
        if (::tcsetattr(slave_, TCSANOW, &settings) != 0) {
            *error = "cannot make " + slavePath_ + " raw: " + std::strerror(errno);
            return false;
        }
        return true;
    }

    const std::string& SlavePath() const { return slavePath_; }
    int Master() const { return master_; }
    bool Streaming() const { return streaming_; }
    const std::vector<std::string>& Commands() const { return commands_; }
    std::size_t Pending() const { return out_.size(); }

    void Queue(const std::string& bytes) { out_ += bytes; }

    // Takes what the program wrote and answers each complete command.
    void ReadCommands() {
        char buffer[512];
        ssize_t n;
        while ((n = ::read(master_, buffer, sizeof buffer)) > 0) {
            for (ssize_t i = 0; i < n; ++i) {
                if (buffer[i] == '\r') {
                    if (!command_.empty()) {
                        Answer(command_);
                        command_.clear();
                    }
                } else if (buffer[i] != '\n' && command_.size() < 32) {
                    command_.push_back(buffer[i]);
                }
            }
        }
    }

    // Writes as much of the queue as the pseudo-terminal takes now.
    void Flush() {
        std::size_t done = 0;
        while (done < out_.size()) {
            const ssize_t n = ::write(master_, out_.data() + done, out_.size() - done);
            if (n <= 0) {
                break;
            }
            done += std::size_t(n);
        }
        out_.erase(0, done);
    }

private:
    void Answer(const std::string& command) {
        commands_.push_back(command);
        if (command == "i" || command == "I") {
            Queue("Vigiltron/D v2.1\r");
        } else if (command == "D+" || command == "d+") {
            streaming_ = true;
            Queue("OK\r");
        } else if (command == "S" || command == "s" || command == "E" || command == "e") {
            streaming_ = false;
            Queue("OK\r");
        } else if (command[0] == 'M' || command[0] == 'm') {
            Queue("OK\r");
        } else if (command == "d" || command == "D") {
            Queue("50cm\r");
        } else {
            Queue("Invalid\r");
        }
    }

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::string command_;
    std::vector<std::string> commands_;
    std::string out_;
    bool streaming_ = false;
};

struct RunResult {
    std::string name;
    bool ran = false;
    std::string failure;
    int sent = 0;
    long logged = 0;
    double cpuSeconds = 0;
    double cpuBeforeFirstLine = 0;
    long peakRssKiB = 0;
    double sendSeconds = 0;
    double settleSeconds = 0;
    std::size_t commandsDuringStream = 0;
    std::vector<std::string> messages;  // what the program's journal said while the lines came
};

struct Workload {
    const char* name;
    int lines;
    int perSecond;  // 0: as fast as the pseudo-terminal takes them
};

// Everything the bench waits on at once: the sensor's master side, and the program's journal
// when there is one (kept drained, so the program never blocks writing it).
class Pump {
public:
    Pump(SensorEnd& sensor, int journal, std::string* journalText)
        : sensor_(sensor), journal_(journal), journalText_(journalText) {}

    void Run(milliseconds timeout) {
        pollfd fds[2] = {
            {sensor_.Master(), short(POLLIN | (sensor_.Pending() > 0 ? POLLOUT : 0)), 0},
            {journal_, POLLIN, 0}};
        const int count = journal_ >= 0 ? 2 : 1;
        ::poll(fds, nfds_t(count), int(timeout.count()));
        sensor_.ReadCommands();
        sensor_.Flush();
        if (journal_ >= 0 && (fds[1].revents & (POLLIN | POLLHUP)) != 0) {
            char buffer[4096];
            ssize_t n;
            while ((n = ::read(journal_, buffer, sizeof buffer)) > 0) {
                if (journalText_ != nullptr) {
                    journalText_->append(buffer, std::size_t(n));
                }
            }
            if (n == 0) {
                journal_ = -1;  // the program closed its output
            }
        }
    }

private:
    SensorEnd& sensor_;
    int journal_;
    std::string* journalText_;
};

// Sends the workload's lines, burst or paced, while answering commands; returns the seconds
// it took until the last byte was in the pseudo-terminal.
double SendLines(SensorEnd& sensor, Pump& pump, const Workload& work) {
    const auto start = SteadyClock::now();
    int next = 0;
    while (next < work.lines || sensor.Pending() > 0) {
        if (work.perSecond == 0) {
            // Keep a few kilobytes queued: the pseudo-terminal decides the pace.
            while (next < work.lines && sensor.Pending() < 4096) {
                sensor.Queue(DistanceLine(next++));
            }
            pump.Run(milliseconds(50));
        } else {
            const auto due = start + milliseconds(std::int64_t(next) * 1000 / work.perSecond);
            const auto now = SteadyClock::now();
            if (next < work.lines && now >= due) {
                sensor.Queue(DistanceLine(next++));
                sensor.Flush();
                continue;
            }
            const auto wait =
                next < work.lines
                    ? std::chrono::duration_cast<milliseconds>(due - now) + milliseconds(1)
                    : milliseconds(50);
            pump.Run(wait);
        }
    }
    return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

// Waits until the count has not grown for kQuietAfterLast (at most kSettleBound); returns the
// seconds waited.
double Settle(Pump& pump, LineCounter& counter, long target) {
    const auto start = SteadyClock::now();
    auto lastGrowth = start;
    long last = counter.Count();
    while (SteadyClock::now() - start < kSettleBound) {
        pump.Run(milliseconds(250));
        const long now = counter.Count();
        if (now != last) {
            last = now;
            lastGrowth = SteadyClock::now();
        } else if (SteadyClock::now() - lastGrowth >= kQuietAfterLast || now >= target) {
            break;
        }
    }
    return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

// Sends SIGTERM and reaps the process while keeping its output drained.
ChildUsage Stop(ChildProcess& child, Pump& pump) {
    child.Signal(SIGTERM);
    const auto start = SteadyClock::now();
    while (SteadyClock::now() - start < kExitBound) {
        if (auto usage = child.Reap()) {
            return *usage;
        }
        pump.Run(milliseconds(20));
    }
    return child.WaitFor(milliseconds(0));
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string Tail(const std::string& text, std::size_t lines) {
    std::size_t at = text.size();
    while (lines-- > 0 && at > 0) {
        at = text.rfind('\n', at - 1);
        if (at == std::string::npos) {
            return text;
        }
    }
    return text.substr(at + 1);
}

RunResult RunProgram(const std::string& program, const Workload& work, const std::string& dir) {
    RunResult result;
    result.name = std::string(work.name) + ", vigiltron-manager";
    result.sent = work.lines;
    SensorEnd sensor;
    if (!sensor.Open(&result.failure)) {
        return result;
    }
    const std::string config = dir + "/program-" + (work.perSecond == 0 ? "burst" : "paced");
    fs::create_directories(config);
    // One distance sensor on COM1, mapped to the pseudo-terminal; files large enough and a quota
    // high enough that neither rotation nor the quota takes part.
    WriteFile(config + "/Vigiltron Manager.ini",
              "[Program%20Setup]\n"
              "TotalDevices=1\nAutoConnect=1\nMaxFileSize=100000\nHDDTotalAmount=100000000\n"
              "[PortConfig]\n"
              "Devices\\1\\DeviceType=Vigiltron/D (Distance)\n"
              "Devices\\1\\DeviceName=Bench\n"
              "Devices\\1\\Port=1\n"
              "Devices\\1\\SubIndex=1\n"
              "Devices\\1\\TabLogging=1\n"
              "Devices\\1\\FileLogging=1\n"
              "Devices\\1\\StartInProx=0\n"
              "[Port%20Map]\n"
              "COM1=" +
                  sensor.SlavePath() + "\n");

    int journal[2];
    if (::pipe2(journal, O_CLOEXEC) != 0) {
        result.failure = std::string("pipe: ") + std::strerror(errno);
        return result;
    }
    ::fcntl(journal[0], F_SETFL, O_NONBLOCK);
    const int errors =
        ::open((config + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    auto child = ChildProcess::Start({program, "--headless", "--config-dir", config}, -1,
                                     journal[1], errors, &result.failure);
    ::close(journal[1]);
    if (errors >= 0) {
        ::close(errors);
    }
    if (!child) {
        ::close(journal[0]);
        return result;
    }
    std::string journalText;
    Pump pump(sensor, journal[0], &journalText);

    // Connected: the journal says so and the stream has been asked for.
    const auto start = SteadyClock::now();
    const std::string connected = "connect: 1 Bench connected on COM1";
    while (SteadyClock::now() - start < kConnectBound &&
           !(journalText.find(connected) != std::string::npos && sensor.Streaming()) &&
           journalText.find("connect: 1 Bench did not connect") == std::string::npos) {
        pump.Run(milliseconds(50));
    }
    if (journalText.find(connected) == std::string::npos || !sensor.Streaming()) {
        result.failure =
            "the program did not connect and start the stream within 30 s; its "
            "journal ends:\n" +
            Tail(journalText, 10);
        Stop(*child, pump);
        ::close(journal[0]);
        return result;
    }
    // Let it finish its part of the exchange (it reads the "OK") before the lines come.
    const auto settleStart = SteadyClock::now();
    while (SteadyClock::now() - settleStart < milliseconds(1000)) {
        pump.Run(milliseconds(50));
    }

    result.cpuBeforeFirstLine = child->CpuSeconds();
    const std::size_t commandsBefore = sensor.Commands().size();
    const std::size_t journalBefore = journalText.size();
    result.sendSeconds = SendLines(sensor, pump, work);
    LineCounter counter(config + "/logfiles");
    result.settleSeconds = Settle(pump, counter, work.lines);
    result.commandsDuringStream = sensor.Commands().size() - commandsBefore;
    // Messages and status changes during the stream, each different one once.
    std::size_t at = journalBefore;
    while (at < journalText.size()) {
        std::size_t end = journalText.find('\n', at);
        if (end == std::string::npos) {
            end = journalText.size();
        }
        const std::string line = journalText.substr(at, end - at);
        const auto category = line.find(' ', line.find(' ') + 1);
        const std::string text = category == std::string::npos ? line : line.substr(category + 1);
        if (text.rfind("reading:", 0) != 0 && result.messages.size() < 5 &&
            std::find(result.messages.begin(), result.messages.end(), text) ==
                result.messages.end()) {
            result.messages.push_back(text);
        }
        at = end + 1;
    }
    const ChildUsage usage = Stop(*child, pump);
    ::close(journal[0]);
    WriteFile(config + "/journal.txt", journalText);
    result.cpuSeconds = usage.cpuSeconds;
    result.peakRssKiB = usage.peakRssKiB;
    result.logged = LineCounter(config + "/logfiles").Count();
    result.ran = true;
    if (!usage.ended) {
        result.failure = "did not end within 10 s of SIGTERM: killed";
    }
    return result;
}

RunResult RunGawk(const std::string& gawk, const Workload& work, const std::string& dir) {
    RunResult result;
    result.name = std::string(work.name) + ", " + fs::path(gawk).filename().string();
    result.sent = work.lines;
    SensorEnd sensor;
    if (!sensor.Open(&result.failure)) {
        return result;
    }
    const std::string output = dir + "/gawk-" + (work.perSecond == 0 ? "burst" : "paced") + ".txt";
    const int in = ::open(sensor.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    auto child = ChildProcess::Start(
        {gawk, "-v", "RS=\r", "{ print strftime(\"%m/%d/%Y %H:%M:%S\"), $0; fflush() }"}, in, out,
        -1, &result.failure);
    ::close(in);
    ::close(out);
    if (!child) {
        return result;
    }
    Pump pump(sensor, -1, nullptr);
    result.cpuBeforeFirstLine = child->CpuSeconds();
    result.sendSeconds = SendLines(sensor, pump, work);
    LineCounter counter(output);
    result.settleSeconds = Settle(pump, counter, work.lines);
    const ChildUsage usage = Stop(*child, pump);
    result.cpuSeconds = usage.cpuSeconds;
    result.peakRssKiB = usage.peakRssKiB;
    result.logged = LineCounter(output).Count();
    result.ran = true;
    return result;
}

void PrintRow(const RunResult& r) {
    if (!r.ran) {
        std::printf("%-34s did not run: %s\n", r.name.c_str(), r.failure.c_str());
        return;
    }
    std::printf("%-34s %7d %8ld %7ld %9.2f %11.2f %9.1f %8.1f %8.1f\n", r.name.c_str(), r.sent,
                r.logged, long(r.sent) - r.logged, r.cpuSeconds,
                r.cpuSeconds - r.cpuBeforeFirstLine, Mib(r.peakRssKiB), r.sendSeconds,
                r.settleSeconds);
    if (!r.failure.empty()) {
        std::printf("%-34s note: %s\n", "", r.failure.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    const auto keepFlag = std::find(args.begin(), args.end(), "--keep");
    const bool keep = keepFlag != args.end();
    if (keep) {
        args.erase(keepFlag);
    }
    const std::string program = !args.empty() ? args[0] : BuiltProgram("vigiltron-manager");
    if (::access(program.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "stream_bench: no program at %s (give its path)\n", program.c_str());
        return 2;
    }
    std::string gawk = FindOnPath("gawk");
    std::string floorNote;
    if (gawk.empty()) {
        gawk = FindOnPath("awk");
        floorNote = " (gawk is not installed: the floor is " + gawk + ")";
    }
    const std::string dir = MakeTempDirectory("stream_bench");
    if (dir.empty()) {
        std::perror("stream_bench: temporary directory");
        return 2;
    }
    const auto started = SteadyClock::now();
    const Workload workloads[] = {{"burst", kBurstLines, 0},
                                  {"100 lines/s", kPacedLines, kPacedPerSecond}};
    std::vector<std::pair<RunResult, RunResult>> results;
    for (const Workload& work : workloads) {
        RunResult mine = RunProgram(program, work, dir);
        RunResult floor;
        if (gawk.empty()) {
            floor.name = std::string(work.name) + ", gawk";
            floor.failure = "neither gawk nor awk is installed";
        } else {
            floor = RunGawk(gawk, work, dir);
        }
        results.emplace_back(std::move(mine), std::move(floor));
    }

    std::printf(
        "Stream: distance lines (\"NNcm\\r\") on a pseudo-terminal; %s --headless against "
        "the floor%s\n\n",
        program.c_str(), floorNote.c_str());
    std::printf("%-34s %7s %8s %7s %9s %11s %9s %8s %8s\n", "run", "sent", "logged", "lost",
                "CPU s", "CPU s from", "peak RSS", "send s", "settle s");
    std::printf("%-34s %7s %8s %7s %9s %11s %9s %8s %8s\n", "", "", "", "", "(whole)", "first line",
                "MiB", "", "");
    for (const auto& [mine, floor] : results) {
        PrintRow(mine);
        if (mine.ran && mine.commandsDuringStream > 0) {
            std::printf("%-34s note: the program sent %zu commands while the lines came\n", "",
                        mine.commandsDuringStream);
        }
        for (const std::string& message : mine.messages) {
            std::printf("%-34s journal: %s\n", "", message.c_str());
        }
        PrintRow(floor);
    }
    std::printf("\n");
    bool allMet = true;
    for (const auto& [mine, floor] : results) {
        if (!mine.ran || !floor.ran) {
            allMet = false;
            continue;
        }
        const bool everyLine = mine.logged == mine.sent;
        // The target is on the whole run (wait4); the part after start-up is shown beside it.
        const double ratio = floor.cpuSeconds > 0 ? mine.cpuSeconds / floor.cpuSeconds : 0;
        const double streamFloor = floor.cpuSeconds - floor.cpuBeforeFirstLine;
        const double streamRatio =
            streamFloor > 0 ? (mine.cpuSeconds - mine.cpuBeforeFirstLine) / streamFloor : 0;
        const bool cpuMet = floor.cpuSeconds > 0 && ratio <= 3.0;
        allMet = allMet && everyLine && cpuMet;
        const std::string lost = "NO, " + std::to_string(mine.sent - mine.logged) + " lost";
        std::printf(
            "%-12s every line logged: %s; CPU %.1fx the floor's (%.1fx from the first "
            "line): %s\n",
            mine.name.substr(0, mine.name.find(',')).c_str(), everyLine ? "yes" : lost.c_str(),
            ratio, streamRatio, cpuMet ? "within 3x" : "NOT within 3x");
    }
    std::printf("\nbench took %.0f s\n",
                std::chrono::duration<double>(SteadyClock::now() - started).count());
    if (keep) {
        std::printf("settings, journals' errors and log files kept in %s\n", dir.c_str());
    } else {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    return allMet ? 0 : 1;
}
