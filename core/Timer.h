#pragma once

#include <functional>

#include "core/EventLoop.h"

namespace vigiltron {

// A repeating timer with an interval and an enabled switch, built on the loop's one-shot timers.
// Switching it off and on again restarts the period from now.
class Timer {
public:
    explicit Timer(EventLoop& loop);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void SetCallback(std::function<void()> callback) { callback_ = std::move(callback); }
    void SetInterval(Milliseconds interval);
    Milliseconds Interval() const { return interval_; }
    void SetEnabled(bool enabled);
    bool Enabled() const { return enabled_; }

private:
    void Arm();
    void Fire();

    EventLoop& loop_;
    std::function<void()> callback_;
    Milliseconds interval_{0};
    bool enabled_ = false;
    TimerId pending_ = 0;
};

}  // namespace vigiltron
