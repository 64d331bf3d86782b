#include "sim/VirtualEventLoop.h"

#include <vector>

namespace vigiltron {

TimerId VirtualEventLoop::StartTimer(Milliseconds delay, std::function<void()> callback) {
    const TimerId id = nextId_++;
    const Milliseconds due = now_ + (delay.count() < 0 ? Milliseconds(0) : delay);
    timers_.emplace(std::make_pair(due, id), std::move(callback));
    dueById_.emplace(id, due);
    return id;
}

void VirtualEventLoop::CancelTimer(TimerId id) {
    const auto it = dueById_.find(id);
    if (it == dueById_.end()) {
        return;
    }
    timers_.erase(std::make_pair(it->second, id));
    dueById_.erase(it);
}

void VirtualEventLoop::Post(std::function<void()> callback) {
    posted_.push_back(std::move(callback));
}

bool VirtualEventLoop::RunOne(Milliseconds limit) {
    if (!posted_.empty()) {
        auto callback = std::move(posted_.front());
        posted_.pop_front();
        callback();
        return true;
    }
    if (timers_.empty() || timers_.begin()->first.first > limit) {
        return false;
    }
    auto node = timers_.extract(timers_.begin());
    dueById_.erase(node.key().second);
    if (node.key().first > now_) {
        now_ = node.key().first;
    }
    node.mapped()();
    return true;
}

void VirtualEventLoop::ProcessPendingEvents() {
    // Only what is pending now: callbacks posted and timers started while these run wait for the
    // next round, as on a real loop, so a procedure that yields in a loop cannot starve itself.
    std::size_t postedNow = posted_.size();
    while (postedNow-- > 0 && !posted_.empty()) {
        auto callback = std::move(posted_.front());
        posted_.pop_front();
        callback();
    }
    const TimerId firstNew = nextId_;
    std::vector<TimerId> due;
    for (const auto& [key, callback] : timers_) {
        if (key.first > now_) {
            break;
        }
        if (key.second < firstNew) {
            due.push_back(key.second);
        }
    }
    for (const TimerId id : due) {
        const auto it = dueById_.find(id);
        if (it == dueById_.end()) {
            continue;  // cancelled by an earlier callback of this round
        }
        auto node = timers_.extract(std::make_pair(it->second, id));
        dueById_.erase(it);
        node.mapped()();
    }
}

bool VirtualEventLoop::WaitUntil(Milliseconds timeout, const std::function<bool()>& done) {
    const Milliseconds deadline = now_ + (timeout.count() < 0 ? Milliseconds(0) : timeout);
    while (!done()) {
        if (!RunOne(deadline)) {
            if (now_ < deadline) {
                now_ = deadline;
            }
            return done();
        }
    }
    return true;
}

void VirtualEventLoop::RunFor(Milliseconds duration) {
    const Milliseconds deadline = now_ + duration;
    stopRequested_ = false;
    while (!stopRequested_ && RunOne(deadline)) {
    }
    if (!stopRequested_ && now_ < deadline) {
        now_ = deadline;
    }
}

void VirtualEventLoop::RunUntilIdle(Milliseconds limit) {
    const Milliseconds deadline = now_ + limit;
    stopRequested_ = false;
    while (!stopRequested_ && RunOne(deadline)) {
    }
}

}  // namespace vigiltron
