#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <tuple>

namespace vigiltron {

// Keeps repeated alarms of one sensor from flooding a mailbox or a pager: with "keep sending
// alerts" a wet water sensor alarms on every poll, a few times a second. An alarm of the same
// sensor and kind through the same channel goes out again only after `minimumGap`, whether the
// last one was delivered or not (a failing modem must not be redialled five times a second); an
// "OK" notice always goes out and ends the run, so the next alarm is news again.
class AlertPacing {
public:
    enum class Channel { Email, Page };
    using Milliseconds = std::chrono::milliseconds;

    static constexpr Milliseconds kDefaultGap{60000};

    // Whether an alarm may go out now; when it may, the time is noted as its last. A refused
    // alarm is counted.
    bool AllowAlarm(Channel channel, int setupIndex, int kind);
    // How many alarms were held back since the last one went out; the count starts again.
    int TakeHeldBack(Channel channel, int setupIndex, int kind);
    // An "OK" notice of the sensor and kind: never held back, and ends the alarm run.
    void NoteOk(int setupIndex, int kind);
    // How long ago the alarm of this sensor and kind last went out through `channel`.
    Milliseconds SinceLast(Channel channel, int setupIndex, int kind) const;

    // Monotonic time; the engine gives it the event loop's. Without it nothing is held back.
    std::function<Milliseconds()> now;
    // The shortest gap between two alarms of one sensor and kind on one channel; zero paces
    // nothing.
    Milliseconds minimumGap = kDefaultGap;

private:
    using Key = std::tuple<Channel, int, int>;
    Milliseconds Now() const { return now ? now() : Milliseconds(0); }
    std::map<Key, Milliseconds> lastSent_;
    std::map<Key, int> heldBack_;
};

}  // namespace vigiltron
