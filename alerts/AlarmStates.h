#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/EventLoop.h"

namespace vigiltron {

// Where one setup entry stands with its alarm: since when it is in alarm, whether someone
// acknowledged it, whether its alerts are snoozed, and whether it was escalated.
struct SensorAlarmState {
    bool inAlarm = false;
    // Raised by an event (a bump, a proximity detection): no "OK" ever ends it, so the
    // acknowledgement does.
    bool eventAlarm = false;
    LocalDateTime since;
    std::string kind;  // "Temperature", "Water", ...
    std::string text;  // the alarm window's text

    bool acknowledged = false;
    std::string acknowledgedBy;
    LocalDateTime acknowledgedAt;
    std::string comment;

    bool snoozed = false;
    // The end of a timed snooze; nothing while snoozed until back to normal.
    std::optional<LocalDateTime> snoozedUntil;
    TimerId snoozeTimer = 0;

    bool escalated = false;
    TimerId escalationTimer = 0;
};

// The alarm state of the ten setup entries. Plain bookkeeping: the dispatcher tells it what
// happened and asks it what may go out; timers and deliveries stay with the dispatcher.
class AlarmStates {
public:
    // Entry n's state; an index outside 1..10 gives an empty state.
    const SensorAlarmState& Of(int n) const;

    // An alarm of entry n was decided. True when it starts a new alarm (the entry was not in
    // one), false when it repeats the current one.
    bool Alarm(int n, const std::string& kind, const std::string& text, bool event,
               const LocalDateTime& now);
    // Entry n is back to normal: the alarm, its acknowledgement and its escalation are over; a
    // snooze until back to normal ends too. True when the entry was in alarm.
    bool Ok(int n);
    // False when entry n is not in an alarm.
    bool Acknowledge(int n, const std::string& user, const std::string& comment,
                     const LocalDateTime& now);
    // `until` nothing: until back to normal. False outside 1..10.
    bool Snooze(int n, std::optional<LocalDateTime> until);
    // False when entry n was not snoozed.
    bool EndSnooze(int n);
    void MarkEscalated(int n);

    // Whether an alarm delivery of entry n is held: it is snoozed, or its alarm acknowledged.
    bool HoldsAlarm(int n) const;
    // Whether an "OK" delivery of entry n is held: it is snoozed.
    bool HoldsOk(int n) const;
    // Whether entry n's alarm still owes its escalation.
    bool Escalates(int n) const;
    // The entries in an alarm nobody acknowledged yet, in index order.
    std::vector<int> Unacknowledged() const;

    // The timers the dispatcher keeps for entry n.
    TimerId& SnoozeTimer(int n) { return At(n).snoozeTimer; }
    TimerId& EscalationTimer(int n) { return At(n).escalationTimer; }

private:
    static bool Valid(int n) { return n >= 1 && n <= 10; }
    SensorAlarmState& At(int n) { return states_.at(Valid(n) ? std::size_t(n) : 0); }

    // Index 0 takes stray indexes.
    std::array<SensorAlarmState, 11> states_{};
};

}  // namespace vigiltron
