#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace vigiltron::bench {

// What the kernel counted for a child once it has ended (wait4's rusage).
struct ChildUsage {
    bool ended = false;     // false: it did not end within the bound and was killed
    int status = 0;         // as wait4 reports it
    double cpuSeconds = 0;  // user + system
    long peakRssKiB = 0;    // ru_maxrss
};

// A program a benchmark starts and watches from outside through /proc. A child still running
// when this is destroyed is killed, so a benchmark that gives up leaves nothing behind.
class ChildProcess {
public:
    // Starts argv[0] (a path) with the given descriptors as its standard input, output and error;
    // -1 gives /dev/null. Returns nothing and fills `error` when it cannot be started.
    static std::optional<ChildProcess> Start(const std::vector<std::string>& argv, int in, int out,
                                             int err, std::string* error);

    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&&) = delete;
    ChildProcess(const ChildProcess&) = delete;
    ~ChildProcess();

    pid_t Pid() const { return pid_; }
    // False once it has ended (and has been waited for by WaitFor).
    bool Running() const { return pid_ > 0; }

    // A "kB" field of /proc/PID/status ("VmHWM", "VmRSS"), in KiB.
    std::optional<long> StatusKiB(const std::string& field) const;
    // Its open file descriptors, and what each one refers to ("3 -> /tmp/x/log.txt"); one that
    // closes while they are listed is left out.
    std::vector<std::string> OpenFds() const;
    // CPU time so far (user + system), from /proc/PID/schedstat or else /proc/PID/stat.
    double CpuSeconds() const;

    void Signal(int signal) const;
    // Its usage if it has ended (reaped now), else nothing; never waits.
    std::optional<ChildUsage> Reap();
    // Waits up to `bound` for it to end, then kills it and reaps it.
    ChildUsage WaitFor(std::chrono::milliseconds bound);

private:
    explicit ChildProcess(pid_t pid) : pid_(pid) {}
    pid_t pid_ = -1;
};

// The full path of `name` on $PATH, or empty.
std::string FindOnPath(const std::string& name);

// The path of a program built beside the benchmarks: <build>/NAME, from <build>/bench/this.
std::string BuiltProgram(const std::string& name);

// A fresh directory under $TMPDIR (or /tmp), or empty when none can be made.
std::string MakeTempDirectory(const std::string& prefix);

double Mib(long kib);

}  // namespace vigiltron::bench
