#include "core/Timer.h"

namespace vigiltron {

Timer::Timer(EventLoop& loop) : loop_(loop) {}

Timer::~Timer() {
    if (pending_ != 0) {
        loop_.CancelTimer(pending_);
    }
}

void Timer::SetInterval(Milliseconds interval) {
    interval_ = interval;
    if (enabled_) {
        Arm();
    }
}

void Timer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (enabled_) {
        Arm();
    } else if (pending_ != 0) {
        loop_.CancelTimer(pending_);
        pending_ = 0;
    }
}

void Timer::Arm() {
    if (pending_ != 0) {
        loop_.CancelTimer(pending_);
        pending_ = 0;
    }
    // A zero interval keeps the timer idle, as a disabled one would be.
    if (interval_.count() <= 0) {
        return;
    }
    pending_ = loop_.StartTimer(interval_, [this] { Fire(); });
}

void Timer::Fire() {
    pending_ = 0;
    if (!enabled_) {
        return;
    }
    // Re-arm before the callback so the period does not drift by the callback's duration, and so
    // the callback may switch the timer off or change its interval.
    Arm();
    if (callback_) {
        callback_();
    }
}

}  // namespace vigiltron
