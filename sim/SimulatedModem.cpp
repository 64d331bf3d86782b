#include "sim/SimulatedModem.h"

#include <array>
#include <cctype>
#include <utility>

namespace vigiltron {

namespace {

struct AnswerName {
    ModemAnswer answer;
    std::string_view name;
};

constexpr std::array<AnswerName, 6> kAnswerNames{{
    {ModemAnswer::Ok, "ok"},
    {ModemAnswer::Busy, "busy"},
    {ModemAnswer::Error, "error"},
    {ModemAnswer::NoDialTone, "no-dial-tone"},
    {ModemAnswer::NoCarrier, "no-carrier"},
    {ModemAnswer::Silent, "silent"},
}};

// The verbose result code as a Hayes modem frames it: CR LF before and after.
std::string ResultCode(ModemAnswer answer) {
    switch (answer) {
        case ModemAnswer::Ok:
            return "\r\nOK\r\n";
        case ModemAnswer::Busy:
            return "\r\nBUSY\r\n";
        case ModemAnswer::Error:
            return "\r\nERROR\r\n";
        case ModemAnswer::NoDialTone:
            return "\r\nNO DIAL TONE\r\n";
        case ModemAnswer::NoCarrier:
            return "\r\nNO CARRIER\r\n";
        case ModemAnswer::Silent:
            break;
    }
    return "";
}

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        c = char(std::toupper(static_cast<unsigned char>(c)));
    }
    return upper;
}

}  // namespace

std::string_view ModemAnswerName(ModemAnswer answer) {
    for (const AnswerName& entry : kAnswerNames) {
        if (entry.answer == answer) {
            return entry.name;
        }
    }
    return "ok";
}

std::optional<ModemAnswer> ModemAnswerFromName(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    for (const AnswerName& entry : kAnswerNames) {
        if (entry.name == lower) {
            return entry.answer;
        }
    }
    return std::nullopt;
}

SimulatedModem::SimulatedModem(EventLoop& loop) : SimulatedDevice(loop) {}

void SimulatedModem::ClearReceived() {
    received_.clear();
    commands_.clear();
}

void SimulatedModem::OnBytes(std::string_view bytes) {
    received_.append(bytes);
    if (received_.size() > 2 * kReceivedHistory) {
        received_.erase(0, received_.size() - kReceivedHistory);
    }
    for (const char c : bytes) {
        if (std::optional<std::string> command = pending_.Take(c)) {
            Handle(*command);
        }
    }
}

void SimulatedModem::OnDisconnected() {
    // Closing the port drops DTR, and a modem drops its call with it.
    offHook_ = false;
    pending_.Clear();
}

void SimulatedModem::Reply(ModemAnswer answer, Milliseconds delay) {
    Send(ResultCode(answer), delay);
}

void SimulatedModem::Handle(const std::string& command) {
    commands_.push_back(command);
    if (commands_.size() > kCommandHistory) {
        commands_.pop_front();
    }
    const std::string upper = Upper(command);
    if (!upper.starts_with("AT")) {
        return;
    }
    if (echo_) {
        Send(command + "\r", Milliseconds(0));
    }
    if (upper.starts_with("ATD")) {
        // A trailing ";" keeps the modem in command mode after dialling: the pager service's
        // number. Without it the line carries touch tones of a call already up: the page digits.
        if (upper.ends_with(";")) {
            offHook_ = answer_ == ModemAnswer::Ok || answer_ == ModemAnswer::Silent;
            Reply(answer_, dialDelay_);
        } else {
            Reply(digitsAnswer_, kDigitsDelay);
        }
        return;
    }
    if (upper == "ATH" || upper == "ATH0") {
        offHook_ = false;
        Send(ResultCode(ModemAnswer::Ok) + "NO CARRIER\r\n", kCommandDelay);
        return;
    }
    Reply(ModemAnswer::Ok, kCommandDelay);
}

}  // namespace vigiltron
