#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace vigiltron {

using Milliseconds = std::chrono::milliseconds;
using TimerId = std::uint64_t;

// The engine's only source of time and scheduling. Two implementations exist: the Qt event loop
// for real runs and a virtual-time loop that advances its clock instantly (simulation and tests).
// Everything runs on one thread; callbacks are never invoked concurrently.
class EventLoop {
public:
    virtual ~EventLoop() = default;

    // Monotonic time since the loop was created.
    virtual Milliseconds Elapsed() const = 0;

    // Runs `callback` once after `delay`. Returns an id for CancelTimer; ids are never reused.
    virtual TimerId StartTimer(Milliseconds delay, std::function<void()> callback) = 0;
    virtual void CancelTimer(TimerId id) = 0;

    // Queues `callback` to run on the loop's thread as soon as the loop gets to it.
    virtual void Post(std::function<void()> callback) = 0;

    // Runs what is pending now (posted callbacks and timers already due), then returns.
    virtual void ProcessPendingEvents() = 0;

    // Handles events until `done()` turns true or `timeout` has passed, whichever comes first.
    // Returns the final value of `done()`. Other timers and events run meanwhile, so callers
    // must expect re-entry from other devices (never from their own exchange).
    virtual bool WaitUntil(Milliseconds timeout, const std::function<bool()>& done) = 0;

    // A plain pause that still lets other events run.
    void Pause(Milliseconds duration) {
        WaitUntil(duration, [] { return false; });
    }
};

}  // namespace vigiltron
