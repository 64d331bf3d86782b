#include "alerts/AlarmStates.h"

namespace vigiltron {

const SensorAlarmState& AlarmStates::Of(int n) const {
    static const SensorAlarmState kNone;
    return Valid(n) ? states_.at(std::size_t(n)) : kNone;
}

bool AlarmStates::Alarm(int n, const std::string& kind, const std::string& text, bool event,
                        const LocalDateTime& now) {
    if (!Valid(n)) {
        return false;
    }
    SensorAlarmState& state = At(n);
    if (state.inAlarm) {
        return false;
    }
    state.inAlarm = true;
    state.eventAlarm = event;
    state.since = now;
    state.kind = kind;
    state.text = text;
    state.acknowledged = false;
    state.acknowledgedBy.clear();
    state.comment.clear();
    state.escalated = false;
    return true;
}

bool AlarmStates::Ok(int n) {
    if (!Valid(n)) {
        return false;
    }
    SensorAlarmState& state = At(n);
    const bool wasInAlarm = state.inAlarm;
    state.inAlarm = false;
    state.eventAlarm = false;
    state.acknowledged = false;
    state.escalated = false;
    if (state.snoozed && !state.snoozedUntil) {
        state.snoozed = false;
    }
    return wasInAlarm;
}

bool AlarmStates::Acknowledge(int n, const std::string& user, const std::string& comment,
                              const LocalDateTime& now) {
    if (!Valid(n) || !At(n).inAlarm) {
        return false;
    }
    SensorAlarmState& state = At(n);
    state.acknowledged = true;
    state.acknowledgedBy = user;
    state.acknowledgedAt = now;
    state.comment = comment;
    // An event alarm has no "back to normal": seeing it is its end, and the next event is news.
    if (state.eventAlarm) {
        state.inAlarm = false;
        state.eventAlarm = false;
        state.acknowledged = false;
    }
    return true;
}

bool AlarmStates::Snooze(int n, std::optional<LocalDateTime> until) {
    if (!Valid(n)) {
        return false;
    }
    At(n).snoozed = true;
    At(n).snoozedUntil = until;
    return true;
}

bool AlarmStates::EndSnooze(int n) {
    if (!Valid(n) || !At(n).snoozed) {
        return false;
    }
    At(n).snoozed = false;
    At(n).snoozedUntil.reset();
    return true;
}

void AlarmStates::MarkEscalated(int n) {
    if (Valid(n)) {
        At(n).escalated = true;
    }
}

bool AlarmStates::HoldsAlarm(int n) const {
    const SensorAlarmState& state = Of(n);
    return state.snoozed || (state.inAlarm && state.acknowledged);
}

bool AlarmStates::HoldsOk(int n) const {
    return Of(n).snoozed;
}

bool AlarmStates::Escalates(int n) const {
    const SensorAlarmState& state = Of(n);
    return state.inAlarm && !state.acknowledged && !state.snoozed && !state.escalated;
}

std::vector<int> AlarmStates::Unacknowledged() const {
    std::vector<int> entries;
    for (int n = 1; n <= 10; ++n) {
        if (states_.at(std::size_t(n)).inAlarm && !states_.at(std::size_t(n)).acknowledged) {
            entries.push_back(n);
        }
    }
    return entries;
}

}  // namespace vigiltron
