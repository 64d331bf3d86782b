#include "ChildProcess.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace vigiltron::bench {

namespace {

std::string ProcPath(pid_t pid, const std::string& leaf) {
    return "/proc/" + std::to_string(pid) + "/" + leaf;
}

double Seconds(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

}  // namespace

std::optional<ChildProcess> ChildProcess::Start(const std::vector<std::string>& argv, int in,
                                                int out, int err, std::string* error) {
    if (argv.empty()) {
        *error = "nothing to start";
        return std::nullopt;
    }
    // Everything the child needs is prepared before fork: after it, only async-signal-safe calls.
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devNull < 0) {
        *error = std::string("cannot open /dev/null: ") + std::strerror(errno);
        return std::nullopt;
    }
    int reportPipe[2];
    if (::pipe2(reportPipe, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        ::close(devNull);
        return std::nullopt;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        *error = std::string("fork: ") + std::strerror(errno);
        ::close(devNull);
        ::close(reportPipe[0]);
        ::close(reportPipe[1]);
        return std::nullopt;
    }
    if (pid == 0) {
        const int fds[3] = {in < 0 ? devNull : in, out < 0 ? devNull : out,
                            err < 0 ? devNull : err};
        for (int target = 0; target < 3; ++target) {
            // dup2 onto itself would keep O_CLOEXEC set; a copy through a free number does not.
            if (fds[target] == target) {
                ::fcntl(target, F_SETFD, 0);
            } else {
                ::dup2(fds[target], target);
            }
        }
        // Only what it opens itself is counted as its own: nothing inherited beyond the three.
        // (Marked close-on-exec rather than closed, so a failed exec can still be reported.)
        ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
        ::execv(args[0], args.data());
        const int code = errno;
        [[maybe_unused]] const auto written = ::write(reportPipe[1], &code, sizeof code);
        ::_exit(127);
    }
    ::close(devNull);
    ::close(reportPipe[1]);
    int code = 0;
    const ssize_t got = ::read(reportPipe[0], &code, sizeof code);
    ::close(reportPipe[0]);
    if (got == sizeof code) {
        *error = "cannot run " + argv[0] + ": " + std::strerror(code);
        ::waitpid(pid, nullptr, 0);
        return std::nullopt;
    }
    return ChildProcess(pid);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : pid_(other.pid_) {
    other.pid_ = -1;
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::optional<long> ChildProcess::StatusKiB(const std::string& field) const {
    std::ifstream status(ProcPath(pid_, "status"));
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, field.size() + 1, field + ":") == 0) {
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
        }
    }
    return std::nullopt;
}

std::vector<std::string> ChildProcess::OpenFds() const {
    std::vector<std::string> fds;
    const std::string dirPath = ProcPath(pid_, "fd");
    DIR* dir = ::opendir(dirPath.c_str());
    if (dir == nullptr) {
        return fds;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        char target[4096];
        const ssize_t n =
            ::readlink((dirPath + "/" + entry->d_name).c_str(), target, sizeof target - 1);
        // One closed between the listing and the look was only passing through.
        if (n > 0) {
            fds.push_back(std::string(entry->d_name) + " -> " +
                          std::string(target, std::size_t(n)));
        }
    }
    ::closedir(dir);
    return fds;
}

double ChildProcess::CpuSeconds() const {
    // schedstat counts nanoseconds on the CPU; stat only whole clock ticks (10 ms), too coarse
    // for a start-up that takes a few of them.
    std::ifstream schedstat(ProcPath(pid_, "schedstat"));
    double nanoseconds = 0;
    if (schedstat >> nanoseconds) {
        return nanoseconds / 1e9;
    }
    std::ifstream statFile(ProcPath(pid_, "stat"));
    std::string text((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
    // The command name in parentheses may hold blanks; the fields count from after it.
    const auto close = text.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double ticks = 0;
    // Fields 3.. follow the name: utime is field 14 and stime field 15.
    for (int number = 3; number <= 15 && (fields >> field); ++number) {
        if (number == 14 || number == 15) {
            ticks += std::strtod(field.c_str(), nullptr);
        }
    }
    return ticks / double(::sysconf(_SC_CLK_TCK));
}

void ChildProcess::Signal(int signal) const {
    if (pid_ > 0) {
        ::kill(pid_, signal);
    }
}

std::optional<ChildUsage> ChildProcess::Reap() {
    if (pid_ <= 0) {
        return std::nullopt;
    }
    rusage ru{};
    int status = 0;
    if (::wait4(pid_, &status, WNOHANG, &ru) != pid_) {
        return std::nullopt;
    }
    pid_ = -1;
    ChildUsage usage;
    usage.ended = true;
    usage.status = status;
    usage.cpuSeconds = Seconds(ru.ru_utime) + Seconds(ru.ru_stime);
    usage.peakRssKiB = ru.ru_maxrss;
    return usage;
}

ChildUsage ChildProcess::WaitFor(std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (pid_ > 0) {
        if (auto usage = Reap()) {
            return *usage;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ChildUsage usage;
    if (pid_ <= 0) {
        return usage;
    }
    rusage ru{};
    int status = 0;
    ::kill(pid_, SIGKILL);
    ::wait4(pid_, &status, 0, &ru);
    pid_ = -1;
    usage.status = status;
    usage.cpuSeconds = Seconds(ru.ru_utime) + Seconds(ru.ru_stime);
    usage.peakRssKiB = ru.ru_maxrss;
    return usage;
}

std::string FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return "";
}

std::string BuiltProgram(const std::string& name) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return name;
    }
    return (self.parent_path().parent_path() / name).string();
}

std::string MakeTempDirectory(const std::string& prefix) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + ".XXXXXX";
    return ::mkdtemp(pattern.data()) != nullptr ? pattern : "";
}

double Mib(long kib) {
    return double(kib) / 1024.0;
}

}  // namespace vigiltron::bench
