#include "platform/ModemLineWatcher.h"

#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace vigiltron {

namespace {

// A blocked TIOCMIWAIT wakes only for a line change or a signal; closing the descriptor from
// another thread does not end it. Stop() therefore sends this signal to the worker. The handler
// does nothing and is installed without SA_RESTART, so the ioctl returns EINTR.
int WakeSignal() {
    return SIGRTMIN + 6;
}

void IgnoreWakeSignal(int) {}

void InstallWakeHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = IgnoreWakeSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(WakeSignal(), &action, nullptr);
    });
}

}  // namespace

ModemLines ModemLinesFromBits(int tiocmBits) {
    return {(tiocmBits & TIOCM_DSR) != 0, (tiocmBits & TIOCM_CAR) != 0};
}

std::vector<CommEvent> ModemLineEvents(ModemLines before, ModemLines after) {
    std::vector<CommEvent> events;
    if (before.dsr != after.dsr) {
        events.push_back(CommEvent::DsrChange);
    }
    if (before.cd != after.cd) {
        events.push_back(CommEvent::CdChange);
    }
    return events;
}

TtyModemLineSource::TtyModemLineSource(int fd) : fd_(fd) {}

TtyModemLineSource::~TtyModemLineSource() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::optional<ModemLines> TtyModemLineSource::Read() {
    int bits = 0;
    if (fd_ < 0 || ::ioctl(fd_, TIOCMGET, &bits) != 0) {
        return std::nullopt;
    }
    return ModemLinesFromBits(bits);
}

ModemLineSource::WaitResult TtyModemLineSource::WaitForChange() {
    // ftdi_sio and pl2303 implement the wait; cp210x and pseudo-terminals refuse it (ENOTTY,
    // EINVAL), and a vanished device answers EIO, which the next Read() then reports.
    if (::ioctl(fd_, TIOCMIWAIT, TIOCM_DSR | TIOCM_CAR) == 0) {
        return WaitResult::Changed;
    }
    return errno == EINTR ? WaitResult::Interrupted : WaitResult::Unsupported;
}

ModemLineWatcher::ModemLineWatcher(EventHandler onEvent, std::chrono::milliseconds pollPeriod)
    : onEvent_(std::move(onEvent)), pollPeriod_(pollPeriod) {}

ModemLineWatcher::~ModemLineWatcher() {
    Stop();
}

void ModemLineWatcher::Start(std::unique_ptr<ModemLineSource> source) {
    Stop();
    source_ = std::move(source);
    ++generation_;
    active_ = true;
    const std::optional<ModemLines> initial = source_ ? source_->Read() : std::nullopt;
    lines_ = initial.value_or(ModemLines{});
    if (!initial) {
        // No modem lines here: they read low and nothing is watched, so nothing is reported.
        return;
    }
    InstallWakeHandler();
    {
        std::lock_guard lock(mutex_);
        stop_ = false;
        exited_ = false;
    }
    thread_ = std::thread(&ModemLineWatcher::Run, this, source_.get(), lines_, generation_);
}

void ModemLineWatcher::Stop() {
    if (thread_.joinable()) {
        std::unique_lock lock(mutex_);
        stop_ = true;
        changed_.notify_all();
        // Kick until the worker has left: a signal that lands just before it enters the ioctl is
        // lost, so one kick is not enough. Each round waits at most 5 ms.
        while (!exited_) {
            pthread_kill(thread_.native_handle(), WakeSignal());
            changed_.wait_for(lock, std::chrono::milliseconds(5), [this] { return exited_; });
        }
        lock.unlock();
        thread_.join();
    }
    source_.reset();
    ++generation_;  // drops changes already posted but not yet delivered
    active_ = false;
    lines_ = {};
}

bool ModemLineWatcher::StopRequested() {
    std::lock_guard lock(mutex_);
    return stop_;
}

void ModemLineWatcher::Run(ModemLineSource* source, ModemLines last, unsigned generation) {
    bool canWait = true;
    while (!StopRequested()) {
        // Read first: this also catches a change between the initial read and the first wait.
        const std::optional<ModemLines> now = source->Read();
        if (!now) {
            break;  // the device went away; the port reports that itself
        }
        if (*now != last) {
            last = *now;
            QMetaObject::invokeMethod(
                &context_, [this, generation, lines = *now] { Deliver(generation, lines); },
                Qt::QueuedConnection);
        }
        if (canWait) {
            if (source->WaitForChange() == ModemLineSource::WaitResult::Unsupported) {
                canWait = false;
            }
        } else {
            std::unique_lock lock(mutex_);
            changed_.wait_for(lock, pollPeriod_, [this] { return stop_; });
        }
    }
    std::lock_guard lock(mutex_);
    exited_ = true;
    changed_.notify_all();
}

void ModemLineWatcher::Deliver(unsigned generation, ModemLines now) {
    if (!active_ || generation != generation_) {
        return;
    }
    const std::vector<CommEvent> events = ModemLineEvents(lines_, now);
    lines_ = now;
    for (const CommEvent event : events) {
        // A handler may stop or restart the watch; what follows belongs to the old one.
        if (!active_ || generation != generation_) {
            return;
        }
        if (onEvent_) {
            onEvent_(event);
        }
    }
}

}  // namespace vigiltron
