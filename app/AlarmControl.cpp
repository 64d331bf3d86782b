#include "app/AlarmControl.h"

#include <pwd.h>
#include <unistd.h>
#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <charconv>

#include "app/Engine.h"

namespace vigiltron {

namespace {

constexpr std::string_view kDone = "done: ";
constexpr std::string_view kRefused = "refused: ";

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::optional<long long> Whole(std::string_view text) {
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// The next blank-separated word of `rest`, taken off it.
std::string_view NextWord(std::string_view& rest) {
    const auto start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        rest = {};
        return {};
    }
    rest.remove_prefix(start);
    const auto end = rest.find(' ');
    const std::string_view word = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    return word;
}

}  // namespace

std::optional<SnoozeChoice> ParseSnoozeDuration(std::string_view text) {
    if (text == "normal") {
        return SnoozeChoice{};
    }
    if (text == "off") {
        return SnoozeChoice{true, std::nullopt};
    }
    if (text.size() < 2 || (text.back() != 'm' && text.back() != 'h')) {
        return std::nullopt;
    }
    const std::optional<long long> count = Whole(text.substr(0, text.size() - 1));
    const long long perUnit = text.back() == 'h' ? 60 : 1;
    if (!count || *count < 1 || *count > kLongestSnooze.count() / perUnit) {
        return std::nullopt;
    }
    return SnoozeChoice{false, std::chrono::minutes(*count * perUnit)};
}

std::string AlarmControlRequest::Line() const {
    const std::string n = std::to_string(entry);
    if (action == Action::Snooze) {
        const std::string duration = snooze.end ? "off"
                                     : snooze.duration
                                         ? std::to_string(snooze.duration->count()) + "m"
                                         : "normal";
        return "snooze " + n + " " + duration;
    }
    std::string oneLine = comment;
    std::replace_if(
        oneLine.begin(), oneLine.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return "ack " + n + (oneLine.empty() ? "" : " " + oneLine);
}

std::optional<AlarmControlRequest> AlarmControlRequest::Parse(std::string_view line) {
    std::string_view rest = line;
    const std::string_view verb = NextWord(rest);
    const std::optional<long long> entry = Whole(NextWord(rest));
    if (!entry || *entry < 1 || *entry > 10) {
        return std::nullopt;
    }
    AlarmControlRequest request;
    request.entry = int(*entry);
    if (verb == "ack") {
        const auto start = rest.find_first_not_of(' ');
        request.comment = start == std::string_view::npos ? "" : std::string(rest.substr(start));
        return request;
    }
    if (verb == "snooze") {
        const std::optional<SnoozeChoice> choice = ParseSnoozeDuration(NextWord(rest));
        if (!choice || !NextWord(rest).empty()) {
            return std::nullopt;
        }
        request.action = Action::Snooze;
        request.snooze = *choice;
        return request;
    }
    return std::nullopt;
}

std::string AlarmControlAnswer::Line() const {
    return std::string(done ? kDone : kRefused) + text;
}

AlarmControlAnswer AlarmControlAnswer::Parse(std::string_view line) {
    if (StartsWith(line, kDone)) {
        return {true, std::string(line.substr(kDone.size()))};
    }
    if (StartsWith(line, kRefused)) {
        return {false, std::string(line.substr(kRefused.size()))};
    }
    return {false, std::string(line)};
}

AlarmControlAnswer CarryOutAlarmControl(Engine& engine, std::string_view line,
                                        const std::string& user) {
    const std::optional<AlarmControlRequest> request = AlarmControlRequest::Parse(line);
    if (!request) {
        return {false, "not a request this program takes: \"" + std::string(line) + "\""};
    }
    const int n = request->entry;
    const DeviceRecord* device = engine.model.Entry(n);
    if (device == nullptr || device->deviceType.empty()) {
        return {false, "No sensor at setup index " + std::to_string(n) + "."};
    }
    const std::string sensor =
        std::to_string(n) + (device->deviceName.empty() ? "" : " " + device->deviceName);
    AlertDispatcher& alerts = engine.alerts;

    if (request->action == AlarmControlRequest::Action::Acknowledge) {
        // Asked first, so that the refusal goes back to the asker rather than into a message
        // on the desktop of the running program.
        if (!alerts.States().Of(n).inAlarm) {
            return {false, "Nothing to acknowledge for " + sensor + "."};
        }
        if (!alerts.Acknowledge(n, request->comment, user)) {
            return {false, "Nothing to acknowledge for " + sensor + "."};
        }
        return {true, "Acknowledged the alarm of " + sensor + "."};
    }
    if (request->snooze.end) {
        if (!alerts.EndSnooze(n)) {
            return {false, sensor + " is not snoozed."};
        }
        return {true, "The snooze of " + sensor + " ended."};
    }
    if (!alerts.Snooze(n, request->snooze.duration)) {
        return {false, sensor + " cannot be snoozed."};
    }
    // The Summary row's note says until when ("snoozed until 14:30").
    const std::string& note = engine.view.Row(n).note;
    return {true, sensor + " " + (note.empty() ? std::string("snoozed") : note) + "."};
}

std::function<void(const std::string&)> AlarmWindowAcknowledgeFor(Engine& engine) {
    return [&engine](const std::string& comment) {
        AlertDispatcher& alerts = engine.alerts;
        alerts.AcknowledgeAll(comment, alerts.userName ? alerts.userName() : CurrentUserName());
    };
}

std::function<void(std::optional<std::chrono::minutes>)> AlarmWindowSnoozeFor(Engine& engine) {
    return [&engine](std::optional<std::chrono::minutes> duration) {
        for (const int n : engine.alerts.States().Unacknowledged()) {
            engine.alerts.Snooze(n, duration);
        }
    };
}

std::string CurrentUserName() {
    const QString user = qEnvironmentVariable("USER");
    if (!user.isEmpty()) {
        return user.toStdString();
    }
    if (const passwd* account = ::getpwuid(::geteuid()); account != nullptr && account->pw_name) {
        return account->pw_name;
    }
    return std::to_string(::geteuid());
}

}  // namespace vigiltron
