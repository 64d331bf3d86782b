#include "sensors/StreamSensor.h"

#include <exception>
#include <optional>
#include <utility>

#include "core/FlagScope.h"
#include "core/LooseText.h"
#include "core/ReadingValue.h"
#include "core/SettingsTree.h"
#include "core/ViewModel.h"
#include "reporting/LogFiles.h"
#include "reporting/LogLines.h"

namespace vigiltron {

namespace {

constexpr const char* kNotOpened = "Sensor has not been opened";

}  // namespace

int SensitivityDigit(std::string_view entry) {
    std::string_view digits = Trim(entry);
    if (digits.empty()) {
        return 0;
    }
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return 0;
        }
    }
    while (digits.size() > 1 && digits.front() == '0') {
        digits.remove_prefix(1);
    }
    return digits.size() == 1 && digits[0] >= '1' ? digits[0] - '0' : 0;
}

// ---- The exchange guard ----

StreamSensor::Exchange::Exchange(StreamSensor& owner, int n) : owner_(owner), n_(n) {
    Entry* e = owner_.At(n_);
    acquired_ = e != nullptr && e->channel.BeginExchange();
}

StreamSensor::Exchange::~Exchange() {
    if (!acquired_) {
        return;
    }
    Entry* e = owner_.At(n_);
    const StreamChannel::Deferred deferred = e->channel.EndExchange();
    SerialPort* port = owner_.PortOf(n_);
    const bool waiting = port != nullptr && port->IsOpen() && port->InBufferCount() > 0;
    const bool received = deferred.received || waiting;
    const bool lineChanged = deferred.lineChanged;
    if (e->active && (received || lineChanged)) {
        // The DSR change goes first: it reads the line as it is now, in the new mode.
        owner_.s_.loop.Post([&owner = owner_, n = n_, received, lineChanged,
                             alive = std::weak_ptr<int>(owner_.alive_)] {
            if (alive.expired()) {
                return;
            }
            if (lineChanged) {
                owner.OnPortEvent(n, CommEvent::DsrChange);
            }
            if (received) {
                owner.Received(n);
            }
        });
    }
}

// ---- Entries ----

StreamSensor::StreamSensor(StreamServices services, StreamKind kind) : s_(services), kind_(kind) {
    for (int n = 1; n <= 10; ++n) {
        entries_[n] = std::make_unique<Entry>();
    }
}

StreamSensor::~StreamSensor() {
    for (int n = 1; n <= 10; ++n) {
        if (entries_[n]->handlerInstalled) {
            if (SerialPort* port = PortOf(n)) {
                port->SetOnComm(nullptr);
            }
        }
    }
}

StreamSensor::Entry* StreamSensor::At(int n) {
    return n >= 1 && n <= 10 ? entries_[n].get() : nullptr;
}

const StreamSensor::Entry* StreamSensor::At(int n) const {
    return n >= 1 && n <= 10 ? entries_[n].get() : nullptr;
}

SerialPort* StreamSensor::PortOf(int n) {
    return s_.link.Port(n, kind_.group);
}

SerialPort* StreamSensor::OpenPort(int n) {
    SerialPort* port = PortOf(n);
    return port != nullptr && port->IsOpen() ? port : nullptr;
}

int StreamSensor::SetupIndexInSlot(int slot) const {
    return slot >= 1 && slot <= 4 ? s_.model.SetupIndexInSlot(kind_.tab, slot) : 0;
}

int StreamSensor::SlotOf(int n) const {
    return s_.model.SlotOf(n, kind_.tab);
}

bool StreamSensor::InEventMode(int n) const {
    const DeviceRecord* record = s_.model.Entry(n);
    return record != nullptr && record->*kind_.eventMode;
}

void StreamSensor::SetEventMode(int n, bool on) {
    if (DeviceRecord* record = s_.model.Entry(n)) {
        record->*kind_.eventMode = on;
        ShowMode(n);
    }
}

void StreamSensor::RequestDrain(int n) {
    if (Entry* e = At(n)) {
        e->channel.RequestDrain();
    }
}

std::size_t StreamSensor::PendingBytes(int n) const {
    const Entry* e = At(n);
    return e != nullptr ? e->channel.PendingBytes() : 0;
}

std::size_t StreamSensor::QueuedLines(int n) const {
    const Entry* e = At(n);
    return e != nullptr ? e->channel.QueuedLines() : 0;
}

bool StreamSensor::CommandUnderWay(int n) const {
    const Entry* e = At(n);
    return e != nullptr && e->channel.InExchange();
}

// ---- Connection ----

void StreamSensor::Start(int n) {
    Entry* e = At(n);
    SerialPort* port = PortOf(n);
    if (e == nullptr || s_.model.Entry(n) == nullptr || port == nullptr) {
        return;
    }
    e->active = true;
    e->channel.Forget();
    ForgetReadings(n);
    port->SetOnComm([this, n](CommEvent event) { OnPortEvent(n, event); });
    e->handlerInstalled = true;
    // Connected: the row no longer reads "OFF" while the first line is on its way.
    s_.view.Row(n).reading = " ";
    ShowMode(n);
    StartMode(n);
    s_.view.Changed();
}

void StreamSensor::Reset(int n) {
    Entry* e = At(n);
    if (e == nullptr || s_.model.Entry(n) == nullptr) {
        return;
    }
    // The handler stays on the port (this may run inside it); it ignores an entry not started.
    e->active = false;
    e->channel.Forget();
    ForgetReadings(n);
    SetEventMode(n, false);
    s_.view.Commands(n).streaming = EntryCommands::StreamingModeView{};
    s_.view.Changed();
}

// ---- Port events and lines ----

void StreamSensor::OnPortEvent(int n, CommEvent event) {
    try {
        Entry* e = At(n);
        if (e == nullptr || !e->active || ShowCommError(s_.dialogs, event)) {
            return;
        }
        switch (event) {
            case CommEvent::DsrChange:
                if (e->channel.InExchange()) {
                    // Handled when the command is done, in the mode it set.
                    e->channel.DeferLineChange();
                } else {
                    LineChanged(n);
                }
                break;
            case CommEvent::Receive:
                Received(n);
                break;
            case CommEvent::DeviceLost:
                // What was on its way is gone with the port; the link tries to get it back.
                e->channel.Forget();
                s_.link.PortLost(n);
                break;
            default:
                break;  // break, time-outs, CTS and CD changes mean nothing here
        }
    } catch (...) {
        // A fault ends the handler; the next event is handled normally.
    }
}

void StreamSensor::Received(int n) {
    Entry* e = At(n);
    SerialPort* port = OpenPort(n);
    if (e == nullptr || !e->active || port == nullptr) {
        return;
    }
    if (e->channel.InExchange()) {
        // The command waiting for its reply reads these bytes; the rest is handled afterwards.
        e->channel.DeferReceive();
        return;
    }
    if (e->channel.TakeDrain()) {
        bool anything = false;
        char last = '\r';
        for (int reads = 0; port->InBufferCount() >= 2 && reads < 64; ++reads) {
            const std::string dropped = port->Input();
            if (!dropped.empty()) {
                anything = true;
                last = dropped.back();
            }
        }
        e->channel.DiscardPartial(anything && last != '\r');
        return;
    }
    Bytes(n, port->Input());
}

void StreamSensor::Bytes(int n, std::string_view bytes) {
    Entry* e = At(n);
    if (e == nullptr || s_.model.Entry(n) == nullptr || bytes.empty()) {
        return;
    }
    if (InEventMode(n)) {
        // In the event modes the sensor's text is only its confirmations: nothing to parse.
        e->channel.DiscardPartial();
        ShowConfirmation(n);
        return;
    }
    e->channel.Receive(bytes);
    // Evaluation and alerts may yield to the loop; lines arriving meanwhile join the backlog and
    // are handled by the call already under way, in order.
    if (!e->handling) {
        HandleBacklog(n);
    }
}

void StreamSensor::HandleBacklog(int n) {
    Entry* e = At(n);
    FlagScope handling(e->handling);
    std::string line;
    while (true) {
        while (e->channel.NextLine(line)) {
            try {
                HandleLine(n, line);
            } catch (const std::exception&) {
                // One bad line must not keep the next from being handled.
            }
        }
        // Reported once the backlog has drained, once for the whole flood.
        const std::size_t dropped = e->channel.TakeDropped();
        if (dropped == 0) {
            return;
        }
        ReportDropped(n, dropped);
    }
}

void StreamSensor::ReportDropped(int n, std::size_t dropped) {
    const DeviceRecord* record = s_.model.Entry(n);
    const std::string count = std::to_string(dropped);
    s_.journal.Record("status", std::to_string(n) + " " + (record ? record->deviceName : "") +
                                    ": " + count +
                                    " lines dropped, the sensor sent faster than they could be "
                                    "handled");
    Note(n, " " + count + " lines dropped");
}

// ---- Command steps ----

void StreamSensor::Send(SerialPort& port, std::string_view text) {
    if (!port.IsOpen()) {
        throw PortGone();
    }
    port.Output(text);
}

void StreamSensor::Wait(SerialPort& port, Milliseconds duration) {
    s_.loop.Pause(duration);
    if (!port.IsOpen()) {
        throw PortGone();
    }
}

std::string StreamSensor::ReadReply(int n, SerialPort& port, Milliseconds upTo) {
    std::optional<std::string> reply = At(n)->channel.ReadReply(s_.loop, port, upTo);
    if (!reply) {
        throw PortGone();
    }
    return std::move(*reply);
}

void StreamSensor::SendStop(SerialPort& port) {
    Send(port, "S");
    Wait(port, kCommandPause);
    Send(port, "\r");
}

void StreamSensor::DrainInput(int n, SerialPort& port) {
    for (int reads = 0; port.InBufferCount() > 1 && reads < 64; ++reads) {
        port.Input();
    }
    At(n)->channel.DiscardCarry();
}

bool StreamSensor::SendEventModeOn(SerialPort& port) {
    try {
        Send(port, "E");
        Wait(port, kCommandPause);
        Send(port, "\r");
        Wait(port, kEventModeSettle);
        return true;
    } catch (const PortGone&) {
        return false;
    }
}

void StreamSensor::Restart(int n, SerialPort& port) {
    for (int attempt = 0; attempt < kRestartAttempts; ++attempt) {
        Send(port, kind_.restartLetter);
        Wait(port, kRestartPause);
        Send(port, "+");
        Wait(port, kRestartPause);
        Send(port, "\r");
        if (!ReadReply(n, port, kReplyWait).empty()) {
            break;
        }
    }
}

void StreamSensor::StartInEventMode(int n) {
    SerialPort* port = OpenPort(n);
    if (port == nullptr || s_.model.Entry(n) == nullptr) {
        return;
    }
    Exchange exchange(*this, n);
    if (!exchange.Acquired()) {
        return;
    }
    if (!SendEventModeOn(*port)) {
        return;
    }
    SummaryRow& row = s_.view.Row(n);
    row.status = "OK";
    row.statusFontSize = 14;
    row.statusColour = TextColour::Blue;
    row.reading = " ";
    SetEventMode(n, true);
    s_.view.Changed();
}

void StreamSensor::RestartStreaming(int n) {
    SerialPort* port = OpenPort(n);
    if (port == nullptr) {
        return;
    }
    Exchange exchange(*this, n);
    if (!exchange.Acquired()) {
        return;
    }
    try {
        Restart(n, *port);
    } catch (const PortGone&) {
    }
}

// ---- View helpers ----

void StreamSensor::SetModeCaption(int n, const std::string& caption) {
    const int slot = SlotOf(n);
    if (slot >= 1 && slot <= 4) {
        s_.view.Slot(kind_.tab, slot).modeCaption = caption;
    }
}

void StreamSensor::Note(int n, const std::string& note) {
    s_.logFiles.AddScreenNote(kind_.tab, SlotOf(n), NoteScreenLine(s_.clock, note));
}

void StreamSensor::SaveDeviceSetting(int n, const std::string& key, const std::string& value) {
    s_.settings.SaveSetting(DeviceModel::DeviceSection(n), key, value);
}

// ---- Sensitivity ----

void StreamSensor::TabSensitivity(int slot) {
    const int n = SetupIndexInSlot(slot);
    if (OpenPort(n) == nullptr) {
        s_.dialogs.ShowMessage(kNotOpened);
        return;
    }
    const auto entry = s_.dialogs.AskText(
        "Please enter a number between 1 (most sensitive) and 9 (least sensitive):");
    if (!entry) {
        return;
    }
    // The prompt let other events run: the sensor may be gone, or busy with another command.
    SerialPort* port = OpenPort(n);
    DeviceRecord* record = s_.model.Entry(n);
    if (port == nullptr || record == nullptr) {
        return;
    }
    Exchange exchange(*this, n);
    if (!exchange.Acquired()) {
        return;
    }
    Note(n, " Setting Sens = " + *entry);
    BusyPointer busy(s_.view);
    try {
        const std::string number = PlainDecimal(LeadingNumber(*entry));
        for (int attempt = 0; attempt < kSensitivityAttempts; ++attempt) {
            Send(*port, "M" + number + "\r");
            const std::string reply = ReadReply(n, *port, kSensitivityReplyWait);
            if (reply.empty() || !Contains(reply, "OK")) {
                continue;
            }
            if (Contains(reply, "Error")) {
                s_.dialogs.ShowMessage("Sensor responded with Sensor Error");
                break;
            }
            record->proxSens = *entry;
            SaveDeviceSetting(n, "ProxSens", *entry);
            break;
        }
        // The sensitivity command leaves the sensor idle: send its mode again.
        RestoreMode(n, *port);
    } catch (const PortGone&) {
    }
}

void StreamSensor::MenuSensitivity(int n) {
    DeviceRecord* record = s_.model.Entry(n);
    if (record == nullptr) {
        return;
    }
    int digit = 0;
    std::string entry;
    while (digit == 0) {
        const auto answer = s_.dialogs.AskText(
            "Please enter a number between 1 (most sensitive) and 9 (least sensitive)",
            "Proximity Sensitivity Adjustment");
        if (!answer) {
            return;
        }
        if (Trim(*answer).empty()) {
            s_.dialogs.ShowMessage(kind_.sensitivityNotSet);
            return;
        }
        digit = SensitivityDigit(*answer);
        if (digit == 0) {
            s_.dialogs.ShowMessage("Number must be an integer between 1 and 9");
        }
        entry = *answer;
    }
    const std::string number = std::to_string(digit);
    Exchange exchange(*this, n);
    if (!exchange.Acquired()) {
        return;
    }
    Note(n, " Setting Sens = " + entry);
    try {
        SerialPort* port = OpenPort(n);
        if (port != nullptr) {
            Send(*port, "M" + number + "\r");
            ReadReply(n, *port, kMenuSensitivityReplyWait);
        }
        record->proxSens = number;
        SaveDeviceSetting(n, "ProxSens", number);
        SummaryRow& row = s_.view.Row(n);
        row.status = "OK";
        row.statusFontSize = 14;
        row.reading = " ";
        s_.view.Changed();
        port = OpenPort(n);
        if (port == nullptr) {
            return;
        }
        if (InEventMode(n)) {
            Send(*port, "E");
            Wait(*port, kCommandPause);
            Send(*port, "\r");
        } else {
            ResumeStream(n, *port);
        }
    } catch (const PortGone&) {
    }
    s_.view.Changed();
}

}  // namespace vigiltron
