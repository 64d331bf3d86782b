#include "alerts/ModemPager.h"

#include <cctype>
#include <exception>
#include <utility>

#include "config/Preferences.h"
#include "core/Dialogs.h"
#include "core/FlagScope.h"
#include "core/Journal.h"
#include "core/LooseText.h"
#include "core/SerialPort.h"
#include "core/ViewModel.h"

namespace vigiltron {

namespace {

constexpr const char* kModemSettings = "9600,n,8,1";
constexpr const char* kNoReadingDigits = "123-456-7890";

bool IsBlank(const std::string& text) {
    return Trim(text).empty();
}

// Control characters spelled out, so a journal line shows the dialogue byte for byte.
std::string Printable(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        if (c == '\r') {
            shown += "\\r";
        } else if (c == '\n') {
            shown += "\\n";
        } else {
            shown += c;
        }
    }
    return shown;
}

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

ModemPager::ModemPager(Services services) : s_(std::move(services)) {}

ModemPager::~ModemPager() = default;

std::string ModemPager::PageDigits(int setupIndex) const {
    if (!IsBlank(s_.prefs.NumToSend)) {
        return std::string(Trim(s_.prefs.NumToSend));
    }
    const std::string& reading = s_.view.Row(setupIndex).reading;
    std::size_t first = 0;
    while (first < reading.size() && !IsDigit(reading[first])) {
        ++first;
    }
    if (reading == "OFF" || first == reading.size()) {
        return kNoReadingDigits;
    }
    std::size_t last = first;
    while (last < reading.size() && IsDigit(reading[last])) {
        ++last;
    }
    const bool negative = first > 0 && reading[first - 1] == '-';
    return (negative ? "*" : "") + reading.substr(first, last - first);
}

PageResult ModemPager::SendNumericPage(int setupIndex, int /*kind*/, bool phone) {
    return Page(setupIndex, phone, phone ? s_.prefs.NumToSendPhone : s_.prefs.NumToCall);
}

PageResult ModemPager::SendPageTo(const std::string& number, int setupIndex, int /*kind*/,
                                  bool phone) {
    return Page(setupIndex, phone, number);
}

PageResult ModemPager::Page(int setupIndex, bool phone, const std::string& number) {
    if (paging_) {
        s_.journal.Record("modem", "a page is already under way; this one is not sent");
        return {false, "the modem is busy with another page"};
    }
    const FlagScope underWay(paging_);
    try {
        return Dial(setupIndex, phone, number);
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage("There was an error in SendNumericPage function",
                               MessageIcon::Information);
        ClosePort();
        return {false, failure.what()};
    } catch (...) {
        s_.dialogs.ShowMessage("There was an error in SendNumericPage function",
                               MessageIcon::Information);
        ClosePort();
        return {false, "the page failed"};
    }
}

PageResult ModemPager::Dial(int setupIndex, bool phone, const std::string& number) {
    if (IsBlank(number)) {
        s_.dialogs.ShowMessage("You must enter a number to dial before sending a page.",
                               MessageIcon::Information);
        if (!phone) {
            s_.view.contactSetup.focus = ContactSetupView::Focus::NumberToCall;
            ++s_.view.contactSetup.focusRequests;
            s_.view.Changed();
        }
        // Nothing was dialled: the caller must not count this as a page that went out.
        return {false, "no number to dial"};
    }
    const std::string digits = phone ? std::string() : PageDigits(setupIndex);

    if (!PortOpen() && !OpenPort()) {
        s_.dialogs.ShowMessage("The port was not opened.", MessageIcon::Information);
        return {false, "the modem port could not be opened" + (port_ && !port_->LastError().empty()
                                                                   ? ": " + port_->LastError()
                                                                   : std::string())};
    }
    s_.loop.Pause(kSettleWait);
    // Whatever the modem said before this call is not an answer to it.
    Collect();
    buffer_.clear();
    SendInitString();
    Send("ATDT" + number + ",,,,,,,,,,;" + "\r");
    {
        const BusyPointer busy(s_.view);
        s_.view.Changed();
        if (phone) {
            // The call only has to ring: no answer is awaited.
            s_.loop.Pause(kDialWait);
        } else {
            WaitFor(kDialWait, [this] { return HasFinalResult(); });
        }
    }
    if (phone) {
        // Closing the port drops the line; HangUp then finds nothing left to do.
        ClosePort();
        HangUp();
        return {true, "called " + number};
    }

    PageResult result = NumericDialogue(digits);
    HangUp();
    if (!result.sent) {
        s_.dialogs.ShowMessage("Warning: The page did not go through.  Now closing the port.");
        ClosePort();
    }
    return result;
}

PageResult ModemPager::NumericDialogue(const std::string& digits) {
    for (int pass = 1; pass <= kPasses; ++pass) {
        if (pass == 1) {
            s_.loop.ProcessPendingEvents();
            Collect();
        } else {
            WaitFor(kPassWait, [this] { return HasFinalResult(); });
        }
        if (buffer_.empty()) {
            s_.dialogs.ShowMessage("No response.", MessageIcon::Information);
            return {false, "no response from the modem"};
        }
        if (BufferHas("BUSY\r\n")) {
            s_.dialogs.ShowMessage("Telephone Busy.  Try Again later");
            return {false, "the line was busy"};
        }
        if (BufferHas("ERROR\r\n")) {
            s_.dialogs.ShowMessage("There was a modem error.  Check the number to dial.");
            return {false, "the modem could not dial the number"};
        }
        if (BufferHas("NO DIAL TONE")) {
            s_.dialogs.ShowMessage("No dial tone.");
            return {false, "no dial tone"};
        }
        if (BufferHas("OK\r\n")) {
            Send("ATDT" + digits + "\r");
            buffer_.clear();
            WaitFor(kDigitsWait, [this] {
                return BufferHas("OK\r\n") || BufferHas("ERROR") || BufferHas("NO CARRIER");
            });
            if (BufferHas("OK\r\n")) {
                return {true, "page " + digits + " sent through " + PortName()};
            }
            if (BufferHas("ERROR")) {
                s_.dialogs.ShowMessage("There was a modem error.");
                return {false, "the modem refused the page digits"};
            }
            return {false, "the modem did not confirm the page digits"};
        }
    }
    return {false, "no answer from the modem"};
}

void ModemPager::HangUp() {
    try {
        if (PortOpen()) {
            Send("ATH0\r");
            std::string answer;
            for (int read = 0; read < kHangUpReads; ++read) {
                const bool hungUp = s_.loop.WaitUntil(kHangUpReadWait, [&] {
                    if (PortOpen()) {
                        answer += port_->Input();
                    }
                    return Contains(answer, "NO CARRIER\r\n");
                });
                if (hungUp) {
                    break;
                }
            }
            if (!answer.empty()) {
                s_.journal.Record("modem", PortName() + "< " + Printable(answer));
            }
        }
    } catch (const std::exception& failure) {
        s_.journal.Record("modem", std::string("hanging up failed: ") + failure.what());
    }
    ClosePort();
}

void ModemPager::ToggleConnection() {
    if (paging_) {
        return;
    }
    if (PortOpen()) {
        ClosePort();
    } else if (!OpenPort()) {
        s_.dialogs.ShowMessage("This port is not open.");
    }
    s_.view.Changed();
}

bool ModemPager::IsOpenOn(int comNumber) const {
    return PortOpen() && port_->CommPort() == comNumber;
}

bool ModemPager::OpenPort() {
    try {
        const int com = s_.modemCom ? s_.modemCom() : 0;
        if (!port_) {
            port_ = s_.ports.CreatePort();
            // A modem unplugged while its port is held open must not leave "Close port" shown.
            port_->SetOnComm([this](CommEvent event) {
                if (event == CommEvent::DeviceLost) {
                    ShowConnectionCaption();
                }
            });
        }
        if (com < 1) {
            s_.journal.Record("modem", "no port to open the modem on");
            return false;
        }
        port_->SetCommPort(com);
        port_->SetSettings(kModemSettings);
        port_->SetRTSEnable(true);
        port_->SetRThreshold(0);
        port_->SetSThreshold(0);
        const bool opened = port_->Open();
        s_.journal.Record("modem", opened ? PortName() + " opened"
                                          : "COM" + std::to_string(com) +
                                                " could not be opened: " + port_->LastError());
        ShowConnectionCaption();
        return opened;
    } catch (const std::exception& failure) {
        s_.journal.Record("modem", std::string("opening the port failed: ") + failure.what());
        return false;
    }
}

void ModemPager::ClosePort() {
    try {
        if (PortOpen()) {
            port_->Close();
            s_.journal.Record("modem", PortName() + " closed");
        }
    } catch (const std::exception& failure) {
        s_.journal.Record("modem", std::string("closing the port failed: ") + failure.what());
    }
    ShowConnectionCaption();
}

bool ModemPager::PortOpen() const {
    return port_ && port_->IsOpen();
}

void ModemPager::Send(const std::string& text) {
    s_.journal.Record("modem", PortName() + "> " + Printable(text));
    port_->Output(text);
}

void ModemPager::Collect() {
    if (!PortOpen()) {
        return;
    }
    const std::string arrived = port_->Input();
    if (!arrived.empty()) {
        s_.journal.Record("modem", PortName() + "< " + Printable(arrived));
        buffer_ += arrived;
    }
}

bool ModemPager::WaitFor(Milliseconds timeout, const std::function<bool()>& done) {
    return s_.loop.WaitUntil(timeout, [&] {
        Collect();
        return done();
    });
}

bool ModemPager::BufferHas(std::string_view text) const {
    return Contains(buffer_, text);
}

// The result codes that end a dial: nothing more comes until the host speaks again.
bool ModemPager::HasFinalResult() const {
    return BufferHas("OK\r\n") || BufferHas("BUSY\r\n") || BufferHas("ERROR\r\n") ||
           BufferHas("NO DIAL TONE") || BufferHas("NO CARRIER");
}

void ModemPager::SendInitString() {
    const std::string& init = s_.prefs.ModemInitString;
    if (IsBlank(init)) {
        return;
    }
    Send(init + "\r");
    const bool answered =
        WaitFor(kInitWait, [this] { return BufferHas("OK\r\n") || BufferHas("ERROR"); });
    if (!answered || !BufferHas("OK\r\n")) {
        // A modem that dislikes its set-up may still dial; the dial's own answer decides.
        s_.journal.Record("modem", "the initialisation string was not accepted; dialling anyway");
    }
    // Its "OK" must not pass for the dial's.
    buffer_.clear();
}

void ModemPager::ShowConnectionCaption() {
    std::string& caption = s_.view.contactSetup.modemConnectCaption;
    const std::string wanted = PortOpen() ? "Close port" : "Open Connection";
    if (caption != wanted) {
        caption = wanted;
        s_.view.Changed();
    }
}

std::string ModemPager::PortName() const {
    return port_ ? "COM" + std::to_string(port_->CommPort()) : "the modem port";
}

}  // namespace vigiltron
