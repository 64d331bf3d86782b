#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "alerts/PagerTransport.h"
#include "core/EventLoop.h"

namespace vigiltron {

class Dialogs;
class Journal;
class SerialPort;
class SerialPortFactory;
class ViewModel;
struct Preferences;

// Pages through a Hayes-compatible modem on a serial port ("9600,n,8,1"). A numeric page dials
// the pager service with `NumToCall` followed by ten commas and ";" (the modem pauses, then comes
// back to command mode), and once the modem says "OK" sends the page digits as touch tones. The
// phone route dials `NumToSendPhone`, lets it ring and hangs up, so the called party sees the
// caller's number. Also the paging window's connection toggle.
//
// The page digits: `NumToSend` when it is filled in; otherwise the reading the Summary shows for
// the setup index, as its whole number ("72.5" gives "72", "123cm" "123"; a minus sign goes out as
// "*", the touch-tone key numeric pagers show as a dash). "OFF" (not connected) and a reading with
// no number in it ("Water", "Event") give the fixed digits "123-456-7890".
//
// `ModemInitString`, when set, is sent before dialling (its "OK" awaited, at most kInitWait).
//
// Every wait goes through the event loop, so the windows stay alive during the page; a page
// asked for while another is under way is refused (not sent) rather than mixed into its dialogue.
class ModemPager : public PagerTransport {
public:
    struct Services {
        EventLoop& loop;
        SerialPortFactory& ports;
        Dialogs& dialogs;
        Journal& journal;
        Preferences& prefs;
        ViewModel& view;
        // The COM number the paging window's port list selects; 0 when there is none.
        std::function<int()> modemCom;
    };

    // Between opening the port and dialling: the modem settles.
    static constexpr Milliseconds kSettleWait{1500};
    // After dialling: the phone rings this long; a numeric page waits at most this long for the
    // modem's result (it ends as soon as one has come).
    static constexpr Milliseconds kDialWait{15000};
    // Passes over the modem's answer; each after the first waits at most kPassWait for more.
    static constexpr int kPasses = 10;
    static constexpr Milliseconds kPassWait{1000};
    // The longest wait for the acknowledgement of the page digits.
    static constexpr Milliseconds kDigitsWait{15000};
    // The longest wait for the answer to the initialisation string.
    static constexpr Milliseconds kInitWait{3000};
    // Hanging up reads up to four times, each waiting at most kHangUpReadWait for "NO CARRIER".
    static constexpr int kHangUpReads = 4;
    static constexpr Milliseconds kHangUpReadWait{1000};

    explicit ModemPager(Services services);
    ~ModemPager() override;
    ModemPager(const ModemPager&) = delete;
    ModemPager& operator=(const ModemPager&) = delete;

    // `SendNumericPage`: `kind` is the alert's kind code (the digits come from the setup index).
    // Never throws; every failure has been shown to the user when this returns.
    PageResult SendNumericPage(int setupIndex, int kind, bool phone) override;
    PageResult SendPageTo(const std::string& number, int setupIndex, int kind, bool phone) override;
    // `HangUp`: ends the call ("ATH0") and closes the port. Does nothing while it is closed.
    void HangUp();

    // The paging window's "&Numeric Pager Test" and "&Phone Call Paging Test", and the command
    // line's page test: setup index 1, kind 1.
    PageResult NumericPagerTest() { return SendNumericPage(1, 1, false); }
    PageResult PhoneCallTest() { return SendNumericPage(1, 1, true); }

    // "Open Connection" / "Close port". Ignored while a page is under way: the page owns the port.
    void ToggleConnection();
    // Whether the modem port is open on COM `comNumber`: the port list counts it as available.
    bool IsOpenOn(int comNumber) const;
    bool Paging() const { return paging_; }

    // The digits a numeric page for `setupIndex` sends (rule above).
    std::string PageDigits(int setupIndex) const;

private:
    PageResult Page(int setupIndex, bool phone, const std::string& number);
    PageResult Dial(int setupIndex, bool phone, const std::string& number);
    PageResult NumericDialogue(const std::string& digits);
    bool OpenPort();
    void ClosePort();
    bool PortOpen() const;
    void Send(const std::string& text);
    // Appends everything waiting at the port to the receive buffer.
    void Collect();
    // Collects until `done` holds or `timeout` has passed; the result of `done`.
    bool WaitFor(Milliseconds timeout, const std::function<bool()>& done);
    bool BufferHas(std::string_view text) const;
    bool HasFinalResult() const;
    void SendInitString();
    void ShowConnectionCaption();
    std::string PortName() const;

    Services s_;
    std::unique_ptr<SerialPort> port_;
    // The text received from the modem during the current call.
    std::string buffer_;
    bool paging_ = false;
};

}  // namespace vigiltron
