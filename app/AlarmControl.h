#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vigiltron {

class Engine;

// What `--snooze N DURATION` asks for: a snooze for a while or until the sensor is back to
// normal (`duration` empty), or the end of a snooze (`end`).
struct SnoozeChoice {
    bool end = false;
    std::optional<std::chrono::minutes> duration;

    friend bool operator==(const SnoozeChoice&, const SnoozeChoice&) = default;
};

// The longest snooze the command line takes: a week.
inline constexpr std::chrono::minutes kLongestSnooze{7 * 24 * 60};

// A DURATION of the command line: "15m", "1h", "8h" (any whole number of minutes or hours, up to
// a week), "normal" (until back to normal) or "off" (ends the snooze); nothing for anything else.
std::optional<SnoozeChoice> ParseSnoozeDuration(std::string_view text);

// What another process of the user asks of the running program about an alarm, one line on the
// control socket: "ack 3 fan replaced", "snooze 3 60m", "snooze 3 normal", "snooze 3 off".
struct AlarmControlRequest {
    enum class Action { Acknowledge, Snooze };
    Action action = Action::Acknowledge;
    int entry = 0;
    std::string comment;  // Acknowledge: may be empty
    SnoozeChoice snooze;  // Snooze

    // The request line (without its line break); a comment's line breaks become blanks.
    std::string Line() const;
    // A request line; nothing when it is not one.
    static std::optional<AlarmControlRequest> Parse(std::string_view line);
};

// The running program's answer: what was done, or why not. On the socket it is one line
// beginning with "done: " or "refused: ".
struct AlarmControlAnswer {
    bool done = false;
    std::string text;

    std::string Line() const;
    // An answer line; a line in neither form counts as refused, with the line as its text.
    static AlarmControlAnswer Parse(std::string_view line);
};

// Carries out a request line of the control socket on the engine, in the name of `user`, and
// answers it.
AlarmControlAnswer CarryOutAlarmControl(Engine& engine, std::string_view line,
                                        const std::string& user);

// The alarm window's "Acknowledge..." (every sensor in an alarm nobody acknowledged yet, in the
// name of the engine's user) and "Snooze" (the same sensors).
std::function<void(const std::string& comment)> AlarmWindowAcknowledgeFor(Engine& engine);
std::function<void(std::optional<std::chrono::minutes>)> AlarmWindowSnoozeFor(Engine& engine);

// The name of the user running the program, as the alarm history records who acknowledged or
// snoozed an alarm: $USER, else the account's name, else its number.
std::string CurrentUserName();

}  // namespace vigiltron
