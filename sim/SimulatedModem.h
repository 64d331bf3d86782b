#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/CommandLineBuffer.h"
#include "sim/SimulatedDevice.h"

namespace vigiltron {

// The result code a simulated modem gives to a dial, or none at all.
enum class ModemAnswer { Ok, Busy, Error, NoDialTone, NoCarrier, Silent };

// The scenario-file word for an answer ("ok", "busy", "error", "no-dial-tone", "no-carrier",
// "silent"), and back; reading ignores letter case.
std::string_view ModemAnswerName(ModemAnswer answer);
std::optional<ModemAnswer> ModemAnswerFromName(std::string_view name);

// A Hayes-compatible modem on the far end of a simulated COM port, as the pager uses it. Command
// lines are collected up to CR. A dial that ends in ";" (the pager service, back to command mode)
// gets the configured answer after the dial delay; a dial without it (the page digits) gets the
// digits answer; "ATH"/"ATH0" hangs up with "OK" and "NO CARRIER"; any other "AT" command gets
// "OK". Lines that do not start with "AT" are ignored, as a modem ignores line noise.
class SimulatedModem : public SimulatedDevice {
public:
    static constexpr Milliseconds kDefaultDialDelay{2000};
    // How long plain commands and the touch-tone digits take to be answered.
    static constexpr Milliseconds kCommandDelay{20};
    static constexpr Milliseconds kDigitsDelay{500};
    // What Received() and Commands() remember; older bytes and lines are forgotten.
    static constexpr std::size_t kReceivedHistory = 64 * 1024;
    static constexpr std::size_t kCommandHistory = 256;

    explicit SimulatedModem(EventLoop& loop);

    void SetAnswer(ModemAnswer answer) { answer_ = answer; }
    ModemAnswer Answer() const { return answer_; }
    void SetDialDelay(Milliseconds delay) { dialDelay_ = delay; }
    Milliseconds DialDelay() const { return dialDelay_; }
    void SetDigitsAnswer(ModemAnswer answer) { digitsAnswer_ = answer; }
    ModemAnswer DigitsAnswer() const { return digitsAnswer_; }
    // Echo on: every command line comes back (with its CR) before its answer, as "ATE1" does.
    void SetEcho(bool on) { echo_ = on; }
    bool Echo() const { return echo_; }

    // Every byte the host wrote, in order, for comparing a dialogue byte for byte.
    const std::string& Received() const { return received_; }
    // The complete command lines received, oldest first, without their CR.
    std::vector<std::string> Commands() const { return {commands_.begin(), commands_.end()}; }
    void ClearReceived();
    // A call is up: dialled and answered "OK", and neither hung up nor dropped with the port.
    bool OffHook() const { return offHook_; }

protected:
    void OnBytes(std::string_view bytes) override;
    void OnDisconnected() override;

private:
    void Handle(const std::string& command);
    void Reply(ModemAnswer answer, Milliseconds delay);

    ModemAnswer answer_ = ModemAnswer::Ok;
    ModemAnswer digitsAnswer_ = ModemAnswer::Ok;
    Milliseconds dialDelay_ = kDefaultDialDelay;
    bool echo_ = false;
    bool offHook_ = false;
    CommandLineBuffer pending_{256};
    std::string received_;
    std::deque<std::string> commands_;
};

}  // namespace vigiltron
