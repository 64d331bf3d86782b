#pragma once

#include <deque>
#include <functional>
#include <map>
#include <utility>

#include "core/Clock.h"
#include "core/EventLoop.h"

namespace vigiltron {

// An event loop on a virtual clock: due timers run in order of their due time (ties in the order
// they were started) and the clock jumps straight to the next due time, so hours of simulated
// operation take milliseconds. Waits are nested the way a real loop's would be.
class VirtualEventLoop : public EventLoop {
public:
    Milliseconds Elapsed() const override { return now_; }
    TimerId StartTimer(Milliseconds delay, std::function<void()> callback) override;
    void CancelTimer(TimerId id) override;
    void Post(std::function<void()> callback) override;
    void ProcessPendingEvents() override;
    bool WaitUntil(Milliseconds timeout, const std::function<bool()>& done) override;

    // Runs everything due up to now + `duration`, then leaves the clock there.
    void RunFor(Milliseconds duration);
    // Runs until nothing is queued or scheduled any more, or `limit` of virtual time has passed.
    void RunUntilIdle(Milliseconds limit = Milliseconds(24LL * 3600 * 1000));
    // Asks the outermost RunFor/RunUntilIdle to return once the current callback is done.
    void Stop() { stopRequested_ = true; }

    bool HasPendingWork() const { return !posted_.empty() || !timers_.empty(); }

private:
    // Runs one posted callback or the earliest timer due at or before `limit`, advancing the
    // clock to it. Returns false when there is nothing to run before `limit`.
    bool RunOne(Milliseconds limit);

    Milliseconds now_{0};
    TimerId nextId_ = 1;
    std::deque<std::function<void()>> posted_;
    // Keyed by (due time, id) so equal due times run in start order.
    std::map<std::pair<Milliseconds, TimerId>, std::function<void()>> timers_;
    std::map<TimerId, Milliseconds> dueById_;
    bool stopRequested_ = false;
};

// A clock that reads the virtual loop: a fixed starting date and time plus the loop's elapsed time.
class VirtualClock : public Clock {
public:
    VirtualClock(const EventLoop& loop, LocalDateTime start) : loop_(loop), start_(start) {}
    LocalDateTime Now() const override { return AddMilliseconds(start_, loop_.Elapsed().count()); }
    std::string ShortDate(const LocalDateTime& when) const override { return UsShortDate(when); }
    std::string LongTime(const LocalDateTime& when) const override { return UsLongTime(when); }

private:
    const EventLoop& loop_;
    LocalDateTime start_;
};

}  // namespace vigiltron
