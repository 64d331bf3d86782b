#include "sensors/StreamingSensors.h"

#include <deque>
#include <exception>
#include <utility>

#include "alerts/ProximityActions.h"
#include "alerts/ThresholdEvaluator.h"
#include "config/Preferences.h"
#include "core/DeviceModel.h"
#include "core/ReadingValue.h"
#include "core/SettingsTree.h"
#include "core/ViewModel.h"
#include "reporting/LogFiles.h"
#include "reporting/LogLines.h"
#include "sensors/SensorLink.h"

namespace vigiltron {

namespace {

constexpr int kDistanceKindCode = 9;
constexpr int kNoCamera = 99;

constexpr const char* kBumpCaption = "Set to Monitor 'bump'";
constexpr const char* kStopMonitoringCaption = "Stop monitoring";
constexpr const char* kToProximityCaption = "Set to Proximity mode";
constexpr const char* kToDistanceCaption = "Set to Distance mode";
constexpr const char* kNotOpened = "Sensor has not been opened";
constexpr const char* kNoObj = "No Obj";

bool Contains(std::string_view text, std::string_view what) {
    return text.find(what) != std::string_view::npos;
}

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

Tab TabOf(DeviceKind kind) {
    return kind == DeviceKind::Accelerometer ? Tab::Accelerometer : Tab::Distance;
}

// Clears a flag when the scope ends, however it ends.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
};

}  // namespace

TiltTexts SplitTilt(std::string_view line) {
    const auto blank = line.find(' ');
    if (blank == std::string_view::npos) {
        return {"", std::string(line)};
    }
    return {std::string(line.substr(0, blank + 1)), std::string(line.substr(blank + 1))};
}

int SensitivityDigit(std::string_view entry) {
    std::string_view digits = Trimmed(entry);
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

// ---- Per-entry state ----

struct StreamingSensors::Entry {
    DeviceKind kind = DeviceKind::Empty;
    bool active = false;            // started and not reset since
    bool handlerInstalled = false;  // our OnComm handler sits on the kind's port
    LineFramer framer;
    std::deque<std::string> lines;  // complete lines not handled yet
    // Set by a context-menu mode change: the next receive event only empties the input.
    bool drain = false;
    // After input was thrown away in the middle of a line, its tail is no line of its own.
    bool skipToLineEnd = false;
    bool exchange = false;         // a command is talking to the sensor
    bool handling = false;         // lines are being handled (evaluation may yield)
    bool receiveDeferred = false;  // a receive event came while a command was talking
    bool lineDeferred = false;     // so did a DSR change
    std::string carry;             // what a command's read got after the reply's last CR
    std::string lastDistanceText;
};

// A command's hold on its entry's port. Only one command talks to a sensor at a time; a second
// one (a double click while the first waits) is skipped. When the command is done, input that
// arrived meanwhile is handed to the receive handler through the loop, as the port's own event
// would have been.
class StreamingSensors::Exchange {
public:
    Exchange(StreamingSensors& owner, int n, DeviceKind kind) : owner_(owner), n_(n), kind_(kind) {
        Entry* e = owner_.At(n_);
        if (e != nullptr && !e->exchange) {
            e->exchange = true;
            e->carry.clear();
            acquired_ = true;
        }
    }
    ~Exchange() {
        if (!acquired_) {
            return;
        }
        Entry* e = owner_.At(n_);
        e->exchange = false;
        // The bytes after the last reply are the start of the next stream line.
        std::string carry = std::exchange(e->carry, std::string());
        e->framer.Reset();
        e->framer.Feed(carry);
        SerialPort* port = owner_.PortOf(n_, kind_);
        const bool waiting = port != nullptr && port->IsOpen() && port->InBufferCount() > 0;
        const bool received = e->receiveDeferred || waiting;
        const bool lineChanged = e->lineDeferred;
        e->receiveDeferred = false;
        e->lineDeferred = false;
        if (e->active && (received || lineChanged)) {
            // The DSR change goes first: it reads the line as it is now, in the new mode.
            owner_.s_.loop.Post([&owner = owner_, n = n_, kind = kind_, received, lineChanged,
                                 alive = std::weak_ptr<int>(owner_.alive_)] {
                if (alive.expired()) {
                    return;
                }
                if (lineChanged) {
                    if (kind == DeviceKind::Accelerometer) {
                        owner.MSCommA_OnComm(n, CommEvent::DsrChange);
                    } else {
                        owner.MSCommD_OnComm(n, CommEvent::DsrChange);
                    }
                }
                if (received) {
                    owner.Received(n, kind);
                }
            });
        }
    }
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    bool Acquired() const { return acquired_; }

private:
    StreamingSensors& owner_;
    int n_;
    DeviceKind kind_;
    bool acquired_ = false;
};

StreamingSensors::StreamingSensors(Services services) : s_(services) {
    for (int n = 1; n <= 10; ++n) {
        entries_[n] = std::make_unique<Entry>();
    }
    for (int slot = 1; slot <= 4; ++slot) {
        s_.view.Slot(Tab::Accelerometer, slot).modeCaption = kBumpCaption;
        s_.view.Slot(Tab::Distance, slot).modeCaption = kToProximityCaption;
    }
}

StreamingSensors::~StreamingSensors() {
    for (int n = 1; n <= 10; ++n) {
        if (entries_[n]->handlerInstalled) {
            if (SerialPort* port = PortOf(n, entries_[n]->kind)) {
                port->SetOnComm(nullptr);
            }
        }
    }
}

StreamingSensors::Entry* StreamingSensors::At(int n) {
    return n >= 1 && n <= 10 ? entries_[n].get() : nullptr;
}

const StreamingSensors::Entry* StreamingSensors::At(int n) const {
    return n >= 1 && n <= 10 ? entries_[n].get() : nullptr;
}

SerialPort* StreamingSensors::PortOf(int n, DeviceKind kind) {
    if (kind != DeviceKind::Accelerometer && kind != DeviceKind::Distance) {
        return nullptr;
    }
    return s_.link.Port(
        n, kind == DeviceKind::Accelerometer ? PortGroup::Accelerometer : PortGroup::Distance);
}

SerialPort* StreamingSensors::OpenPort(int n, DeviceKind kind) {
    SerialPort* port = PortOf(n, kind);
    return port != nullptr && port->IsOpen() ? port : nullptr;
}

int StreamingSensors::SetupIndexInSlot(Tab tab, int slot) const {
    return slot >= 1 && slot <= 4 ? s_.model.SetupIndexInSlot(tab, slot) : 0;
}

int StreamingSensors::SlotOf(int n, Tab tab) const {
    return s_.model.SlotOf(n, tab);
}

const std::string& StreamingSensors::LastDistanceText(int n) const {
    static const std::string kNone;
    const Entry* e = At(n);
    return e != nullptr ? e->lastDistanceText : kNone;
}

const std::string& StreamingSensors::ObjectChanged(int slot) const {
    static const std::string kNone;
    return slot >= 1 && slot <= 4 ? objectChanged_[std::size_t(slot)] : kNone;
}

std::size_t StreamingSensors::PendingBytes(int n) const {
    const Entry* e = At(n);
    return e != nullptr ? e->framer.Pending() + e->carry.size() : 0;
}

std::size_t StreamingSensors::QueuedLines(int n) const {
    const Entry* e = At(n);
    return e != nullptr ? e->lines.size() : 0;
}

bool StreamingSensors::CommandUnderWay(int n) const {
    const Entry* e = At(n);
    return e != nullptr && e->exchange;
}

// ---- Connection ----

void StreamingSensors::ShowStreamingMode(int n, DeviceKind kind) {
    DeviceRecord* record = s_.model.Entry(n);
    EntryCommands::StreamingModeView& modes = s_.view.Commands(n).streaming;
    modes.binaryMode = false;
    modes.modeMarker = "0";
    if (kind == DeviceKind::Accelerometer) {
        record->bumpMode = false;
        modes.bumpMenuCaption = "Set to Bump mode";
        SetModeCaption(n, Tab::Accelerometer, kBumpCaption);
    } else {
        record->proximityMode = false;
        modes.proximityMenuCaption = kToProximityCaption;
        SetModeCaption(n, Tab::Distance, kToProximityCaption);
    }
}

void StreamingSensors::Start(int n, DeviceKind kind) {
    Entry* e = At(n);
    DeviceRecord* record = s_.model.Entry(n);
    SerialPort* port = PortOf(n, kind);
    if (e == nullptr || record == nullptr || port == nullptr) {
        return;
    }
    e->kind = kind;
    e->active = true;
    e->framer.Reset();
    e->lines.clear();
    e->carry.clear();
    e->drain = false;
    e->skipToLineEnd = false;
    e->receiveDeferred = false;
    e->lineDeferred = false;
    e->lastDistanceText.clear();
    if (kind == DeviceKind::Accelerometer) {
        port->SetOnComm([this, n](CommEvent event) { MSCommA_OnComm(n, event); });
    } else {
        port->SetOnComm([this, n](CommEvent event) { MSCommD_OnComm(n, event); });
    }
    e->handlerInstalled = true;
    // Connected: the row no longer reads "OFF" while the first line is on its way.
    s_.view.Row(n).reading = " ";

    if (kind == DeviceKind::Accelerometer) {
        if (record->startInBump) {
            StartInBumpMode(n);
        } else {
            ShowStreamingMode(n, kind);
            RestartStreaming(n);
        }
        if (record->calibrateOnConnect) {
            CalibrateOnConnection(n);
        }
    } else {
        if (record->startInProx) {
            StartInProximityMode(n);
        } else {
            ShowStreamingMode(n, kind);
            RestartStreaming(n);
        }
    }
    s_.view.Changed();
}

void StreamingSensors::Reset(int n, DeviceKind kind) {
    Entry* e = At(n);
    DeviceRecord* record = s_.model.Entry(n);
    if (e == nullptr || record == nullptr) {
        return;
    }
    // The handler stays on the port (this may run inside it); it ignores an entry not started.
    e->active = false;
    e->framer.Reset();
    e->lines.clear();
    e->carry.clear();
    e->drain = false;
    e->skipToLineEnd = false;
    e->receiveDeferred = false;
    e->lineDeferred = false;
    e->lastDistanceText.clear();
    if (kind == DeviceKind::Accelerometer || kind == DeviceKind::Distance) {
        ShowStreamingMode(n, kind);
    }
    s_.view.Commands(n).streaming = EntryCommands::StreamingModeView{};
    s_.view.Changed();
}

// ---- Port events ----

void StreamingSensors::MSCommA_OnComm(int n, CommEvent event) {
    OnPortEvent(n, event, DeviceKind::Accelerometer);
}

void StreamingSensors::MSCommD_OnComm(int n, CommEvent event) {
    OnPortEvent(n, event, DeviceKind::Distance);
}

void StreamingSensors::OnPortEvent(int n, CommEvent event, DeviceKind kind) {
    try {
        const Entry* e = At(n);
        if (e == nullptr || !e->active || ShowCommError(s_.dialogs, event)) {
            return;
        }
        switch (event) {
            case CommEvent::DsrChange:
                if (e->exchange) {
                    // Handled when the command is done, in the mode it set.
                    At(n)->lineDeferred = true;
                } else if (kind == DeviceKind::Accelerometer) {
                    BumpLineChanged(n);
                } else {
                    DistanceLineChanged(n);
                }
                break;
            case CommEvent::Receive:
                Received(n, kind);
                break;
            case CommEvent::DeviceLost:
                PortLost(n);
                break;
            default:
                break;  // break, time-outs, CTS and CD changes mean nothing here
        }
    } catch (...) {
        // A fault ends the handler; the next event is handled normally.
    }
}

void StreamingSensors::PortLost(int n) {
    Entry* e = At(n);
    e->framer.Reset();
    e->lines.clear();
    e->carry.clear();
    e->drain = false;
    e->skipToLineEnd = false;
}

void StreamingSensors::Received(int n, DeviceKind kind) {
    Entry* e = At(n);
    SerialPort* port = OpenPort(n, kind);
    if (e == nullptr || !e->active || port == nullptr) {
        return;
    }
    if (e->exchange) {
        // The command waiting for its reply reads these bytes; the rest is handled afterwards.
        e->receiveDeferred = true;
        return;
    }
    if (e->drain) {
        std::string dropped;
        for (int reads = 0; port->InBufferCount() >= 2 && reads < 64; ++reads) {
            dropped += port->Input();
        }
        e->framer.Reset();
        e->lines.clear();
        e->skipToLineEnd = !dropped.empty() && dropped.back() != '\r';
        e->drain = false;
        return;
    }
    const std::string bytes = port->Input();
    Ingest(n, kind, bytes);
}

void StreamingSensors::AccelerometerBytes(int n, std::string_view bytes) {
    Ingest(n, DeviceKind::Accelerometer, bytes);
}

void StreamingSensors::DistanceBytes(int n, std::string_view bytes) {
    Ingest(n, DeviceKind::Distance, bytes);
}

void StreamingSensors::Ingest(int n, DeviceKind kind, std::string_view bytes) {
    Entry* e = At(n);
    DeviceRecord* record = s_.model.Entry(n);
    if (e == nullptr || record == nullptr || bytes.empty()) {
        return;
    }
    const bool eventMode =
        kind == DeviceKind::Accelerometer ? record->bumpMode : record->proximityMode;
    if (eventMode) {
        // In the event modes the sensor's text is only its confirmations: nothing to parse.
        e->framer.Reset();
        e->lines.clear();
        e->skipToLineEnd = false;
        SummaryRow& row = s_.view.Row(n);
        row.status = "OK";
        if (kind == DeviceKind::Distance) {
            row.statusFontSize = 14;
        }
        row.reading = " ";
        s_.view.Changed();
        return;
    }
    if (e->skipToLineEnd) {
        const auto cr = bytes.find('\r');
        if (cr == std::string_view::npos) {
            return;
        }
        bytes.remove_prefix(cr + 1);
        e->skipToLineEnd = false;
    }
    for (std::string& line : e->framer.Feed(bytes)) {
        e->lines.push_back(std::move(line));
        if (e->lines.size() > kMaxQueuedLines) {
            e->lines.pop_front();
        }
    }
    // Evaluation and alerts may yield to the loop; lines arriving meanwhile join the queue and
    // are handled by this call, in order.
    if (e->handling) {
        return;
    }
    FlagScope handling(e->handling);
    while (!e->lines.empty()) {
        const std::string line = std::move(e->lines.front());
        e->lines.pop_front();
        try {
            if (kind == DeviceKind::Accelerometer) {
                AccelerometerLine(n, line);
            } else {
                DistanceLine(n, line);
            }
        } catch (const std::exception&) {
            // One bad line must not keep the next from being handled.
        }
    }
}

void StreamingSensors::AccelerometerLine(int n, const std::string& line) {
    // A bare CR carries nothing, and "Invalid" answers a command, not a tilt.
    if (line.empty() || Contains(line, "Invalid")) {
        return;
    }
    const DeviceRecord* record = s_.model.Entry(n);
    const int slot = SlotOf(n, Tab::Accelerometer);
    SummaryRow& row = s_.view.Row(n);
    row.reading = line;
    s_.view.Changed();
    const TiltTexts tilt = SplitTilt(line);
    // A line with no number in either axis ("OK", noise) is no tilt of 0: evaluating it would
    // send a false "OK" notice for a tilt that is still there.
    if (!s_.prefs.chkLocalMonitoring && (StartsWithReading(tilt.x) || StartsWithReading(tilt.y))) {
        s_.evaluator.CheckTilt(tilt.x, tilt.y, n, slot);
    }
    if (record->tabLogging) {
        s_.logFiles.AddEventScreenLine(Tab::Accelerometer, slot, ColonScreenLine(s_.clock, line));
    }
    s_.logFiles.WriteEventLine(n, DeviceKind::Accelerometer, ReceivedFileLine(s_.clock, line));
}

void StreamingSensors::DistanceLine(int n, const std::string& received) {
    if (received.empty()) {
        return;
    }
    Entry* e = At(n);
    const DeviceRecord* record = s_.model.Entry(n);
    const int slot = SlotOf(n, Tab::Distance);
    SummaryRow& row = s_.view.Row(n);
    std::string line = received;
    std::string logged;  // what the on-screen log shows; empty: nothing
    std::string changed;
    auto statusOk = [&row] {
        row.status = "OK";
        row.statusColour = TextColour::Blue;
        row.statusFontSize = 14;
    };

    if (Contains(line, "OK")) {
        row.readingColour = TextColour::Blue;
        statusOk();
    }
    if (Contains(line, "Object")) {
        row.reading = kNoObj;
        row.readingColour = TextColour::Blue;
        statusOk();
        if (e->lastDistanceText != kNoObj) {
            changed = "1";
            logged = "No Object";
            if (s_.prefs.CheckRange && !s_.prefs.chkLocalMonitoring) {
                s_.evaluator.OutOfRangeAlert(n, slot);
            }
        } else {
            changed = "0";
        }
        e->lastDistanceText = kNoObj;
    } else if (const auto cm = line.find("cm"); cm != std::string::npos) {
        row.reading = line;
        row.readingColour = TextColour::Blue;
        logged = line.substr(0, cm + 2);
        changed = e->lastDistanceText == kNoObj ? "1" : "0";
        e->lastDistanceText = line;
    } else if (Contains(line, "Error")) {
        row.reading = "Error";
        row.readingColour = TextColour::Blue;
        e->lastDistanceText.clear();
        s_.view.Changed();
        return;  // a sensor error is neither evaluated nor logged
    }
    if (!changed.empty() && slot >= 1 && slot <= 4) {
        objectChanged_[std::size_t(slot)] = changed;
    }
    if (line == "No Object") {
        s_.evaluator.ResetDistanceStates();
    }
    s_.view.Changed();

    if (!s_.prefs.chkLocalMonitoring && !record->proximityMode) {
        s_.evaluator.ChkDistance(line, n, slot);
    }
    if (record->tabLogging) {
        s_.logFiles.AddDistanceScreenLine(slot,
                                          logged.empty() ? "" : ColonScreenLine(s_.clock, logged));
    }
    s_.logFiles.WriteEventLine(n, DeviceKind::Distance, ReceivedFileLine(s_.clock, line));
}

void StreamingSensors::BumpLineChanged(int n) {
    const DeviceRecord* record = s_.model.Entry(n);
    SerialPort* port = OpenPort(n, DeviceKind::Accelerometer);
    // DSR reports knocks only in bump mode; a tilt-streaming sensor's line means nothing.
    if (record == nullptr || port == nullptr || !record->bumpMode) {
        return;
    }
    const int slot = SlotOf(n, Tab::Accelerometer);
    const bool raised = port->DSRHolding();
    SummaryRow& row = s_.view.Row(n);
    row.readingFontSize = 14;
    row.reading = "BUMP";
    s_.view.Changed();
    if (raised) {
        if (record->tabLogging) {
            s_.logFiles.AddEventScreenLine(Tab::Accelerometer, slot,
                                           DashScreenLine(s_.clock, "BUMP"));
        }
        s_.logFiles.WriteEventLine(n, DeviceKind::Accelerometer, BumpFileLine(s_.clock));
        if (!s_.prefs.chkLocalMonitoring) {
            s_.evaluator.BumpAlert(n, slot);
        }
    } else {
        row.reading = " ";
    }
    s_.view.Changed();
}

void StreamingSensors::DistanceLineChanged(int n) {
    const DeviceRecord* record = s_.model.Entry(n);
    SerialPort* port = OpenPort(n, DeviceKind::Distance);
    // Presence on DSR counts only in proximity mode: in distance mode it must not lock the
    // workstation or run commands.
    if (record == nullptr || port == nullptr || !record->proximityMode) {
        return;
    }
    const int slot = SlotOf(n, Tab::Distance);
    const bool present = port->DSRHolding();
    SummaryRow& row = s_.view.Row(n);
    row.reading = present ? "Event" : " ";
    s_.view.Changed();

    s_.actions.StartDelays(present);
    s_.actions.NotifyChange(kDistanceKindCode);
    if (record->tabLogging) {
        s_.logFiles.AddEventScreenLine(Tab::Distance, slot,
                                       DashScreenLine(s_.clock, present ? "Detect" : "<Reset>"));
    }
    s_.logFiles.WriteEventLine(n, DeviceKind::Distance,
                               DistanceProximityFileLine(s_.clock, present));
    std::string error;
    const bool ended = s_.actions.RunImmediateActions(present, error);
    if (!error.empty()) {
        // A lock that did not happen must not pass unnoticed.
        s_.dialogs.ShowMessage("Error in MSCommD event handler: " + error);
    }
    if (ended) {
        return;
    }
    if (slot >= 1 && slot <= 4) {
        const int camera = s_.model.ProxCameraLink(slot);
        if (camera != kNoCamera && DeviceModel::IsValidIndex(camera) &&
            s_.prefs.prox[std::size_t(slot)].chkCamUseProx) {
            s_.actions.ProximityEvent(camera, kDistanceKindCode);
        }
    }
    row.reading = present ? "Event" : " ";
    s_.view.Changed();
}

// ---- Command steps ----

void StreamingSensors::Send(SerialPort& port, std::string_view text) {
    if (!port.IsOpen()) {
        throw PortGone();
    }
    port.Output(text);
}

void StreamingSensors::Wait(SerialPort& port, Milliseconds duration) {
    s_.loop.Pause(duration);
    if (!port.IsOpen()) {
        throw PortGone();
    }
}

std::string StreamingSensors::ReadReply(int n, SerialPort& port, Milliseconds upTo) {
    Entry* e = At(n);
    std::string text = std::exchange(e->carry, std::string());
    bool closed = false;
    s_.loop.WaitUntil(upTo, [&] {
        if (!port.IsOpen()) {
            closed = true;
            return true;
        }
        text += port.Input();
        return text.find('\r') != std::string::npos;
    });
    if (closed) {
        throw PortGone();
    }
    const auto lastCr = text.rfind('\r');
    if (lastCr != std::string::npos) {
        e->carry = text.substr(lastCr + 1);
        text.resize(lastCr + 1);
        if (e->carry.size() > LineFramer::kMaxLine) {
            e->carry.clear();
        }
    }
    return text;
}

void StreamingSensors::SendStop(SerialPort& port) {
    Send(port, "S");
    Wait(port, kCommandPause);
    Send(port, "\r");
}

void StreamingSensors::DrainInput(int n, SerialPort& port) {
    for (int reads = 0; port.InBufferCount() > 1 && reads < 64; ++reads) {
        port.Input();
    }
    At(n)->carry.clear();
}

void StreamingSensors::SetModeCaption(int n, Tab tab, const std::string& caption) {
    const int slot = SlotOf(n, tab);
    if (slot >= 1 && slot <= 4) {
        s_.view.Slot(tab, slot).modeCaption = caption;
    }
}

void StreamingSensors::Note(int n, Tab tab, const std::string& note) {
    s_.logFiles.AddScreenNote(tab, SlotOf(n, tab), NoteScreenLine(s_.clock, note));
}

void StreamingSensors::SaveDeviceSetting(int n, const std::string& key, const std::string& value) {
    s_.settings.SaveSetting(DeviceModel::DeviceSection(n), key, value);
}

// ---- Accelerometer mode ----

void StreamingSensors::AccelerometerToBump(int n, SerialPort& port) {
    DeviceRecord* record = s_.model.Entry(n);
    port.SetRThreshold(0);
    SendStop(port);
    DrainInput(n, port);
    for (int attempt = 0; attempt < kModeAttempts; ++attempt) {
        SetModeCaption(n, Tab::Accelerometer, kStopMonitoringCaption);
        Send(port, "e");
        Wait(port, kCommandPause);
        Send(port, "\r");
        if (Contains(ReadReply(n, port, kCommandPause), "OK")) {
            break;
        }
    }
    port.SetRThreshold(1);
    record->bumpMode = true;
    SummaryRow& row = s_.view.Row(n);
    row.statusColour = TextColour::Blue;
    row.reading.clear();
    EntryCommands::StreamingModeView& modes = s_.view.Commands(n).streaming;
    modes.binaryMode = true;
    modes.modeMarker = "1";
    modes.bumpMenuCaption = "Take out of Bump mode";
    SetModeCaption(n, Tab::Accelerometer, kStopMonitoringCaption);
    record->startInBump = true;
    SaveDeviceSetting(n, "StartInBump", "1");
    Note(n, Tab::Accelerometer, " Set To Bump Mode");
    s_.view.Changed();
}

void StreamingSensors::AccelerometerToStreaming(int n, SerialPort& port, Via via) {
    DeviceRecord* record = s_.model.Entry(n);
    SummaryRow& row = s_.view.Row(n);
    SetModeCaption(n, Tab::Accelerometer, kBumpCaption);
    port.SetRThreshold(0);
    SendStop(port);
    DrainInput(n, port);
    for (int attempt = 0; attempt < kModeAttempts; ++attempt) {
        if (via == Via::Menu) {
            Send(port, "A");
            Wait(port, kCommandPause);
            Send(port, "+");
            Wait(port, kCommandPause);
            Send(port, "\r");
        } else {
            Send(port, "a");
            Send(port, "+");
            Send(port, "\r");
            row.readingFontSize = 10;
            record->bumpMode = false;
        }
        if (Contains(ReadReply(n, port, kReplyWait), "OK")) {
            break;
        }
    }
    record->bumpMode = false;
    EntryCommands::StreamingModeView& modes = s_.view.Commands(n).streaming;
    modes.modeMarker = "0";
    modes.binaryMode = false;
    modes.bumpMenuCaption = "Set to Bump mode";
    port.SetRThreshold(1);
    record->startInBump = false;
    SaveDeviceSetting(n, "StartInBump", "0");
    Note(n, Tab::Accelerometer, " Set to Accel Mode");
    s_.view.Changed();
}

void StreamingSensors::cmdSetToBump_Click(int slot) {
    const int n = SetupIndexInSlot(Tab::Accelerometer, slot);
    SerialPort* port = OpenPort(n, DeviceKind::Accelerometer);
    if (port == nullptr) {
        s_.dialogs.ShowMessage(kNotOpened);
        return;
    }
    Exchange exchange(*this, n, DeviceKind::Accelerometer);
    if (!exchange.Acquired()) {
        return;
    }
    BusyPointer busy(s_.view);
    try {
        if (s_.view.Slot(Tab::Accelerometer, slot).modeCaption == kStopMonitoringCaption) {
            AccelerometerToStreaming(n, *port, Via::Button);
        } else {
            AccelerometerToBump(n, *port);
        }
    } catch (const PortGone&) {
    }
}

void StreamingSensors::mnuPopUpSetToBinaryMode_Click(int n) {
    SerialPort* port = OpenPort(n, DeviceKind::Accelerometer);
    const DeviceRecord* record = s_.model.Entry(n);
    if (port == nullptr || record == nullptr) {
        s_.dialogs.ShowMessage(kNotOpened);
        return;
    }
    Exchange exchange(*this, n, DeviceKind::Accelerometer);
    if (!exchange.Acquired()) {
        return;
    }
    At(n)->drain = true;
    BusyPointer busy(s_.view);
    try {
        if (record->bumpMode) {
            AccelerometerToStreaming(n, *port, Via::Menu);
        } else {
            AccelerometerToBump(n, *port);
        }
    } catch (const PortGone&) {
    }
}

bool StreamingSensors::SendEventModeOn(SerialPort& port) {
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

void StreamingSensors::StartInBumpMode(int n) {
    SerialPort* port = OpenPort(n, DeviceKind::Accelerometer);
    DeviceRecord* record = s_.model.Entry(n);
    if (port == nullptr || record == nullptr) {
        return;
    }
    Exchange exchange(*this, n, DeviceKind::Accelerometer);
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
    record->bumpMode = true;
    EntryCommands::StreamingModeView& modes = s_.view.Commands(n).streaming;
    modes.bumpMenuCaption = "Take out of Bump mode";
    modes.binaryMode = true;
    modes.modeMarker = "1";
    SetModeCaption(n, Tab::Accelerometer, kStopMonitoringCaption);
    s_.view.Changed();
}

// ---- Distance mode ----

void StreamingSensors::DistanceToStreaming(int n, SerialPort& port) {
    DeviceRecord* record = s_.model.Entry(n);
    SetModeCaption(n, Tab::Distance, kToProximityCaption);
    record->proximityMode = false;
    SendStop(port);
    DrainInput(n, port);
    for (int attempt = 0; attempt < kModeAttempts; ++attempt) {
        Send(port, "D");
        Wait(port, kCommandPause);
        Send(port, "+");
        Wait(port, kCommandPause);
        Send(port, "\r");
        if (Contains(ReadReply(n, port, kReplyWait), "OK")) {
            break;
        }
    }
    EntryCommands::StreamingModeView& modes = s_.view.Commands(n).streaming;
    modes.binaryMode = false;
    modes.modeMarker = "0";
    modes.proximityMenuCaption = kToProximityCaption;
    record->startInProx = false;
    SaveDeviceSetting(n, "StartInProx", "0");
    Note(n, Tab::Distance, " Set to Distance mode");
    SummaryRow& row = s_.view.Row(n);
    row.status = "OK";
    row.statusColour = TextColour::Blue;
    row.statusFontSize = 14;
    row.reading = " ";
    row.readingColour = TextColour::Red;
    s_.view.Changed();
}

void StreamingSensors::DistanceToProximity(int n, SerialPort& port, Via via) {
    DeviceRecord* record = s_.model.Entry(n);
    SetModeCaption(n, Tab::Distance, kToDistanceCaption);
    port.SetRThreshold(0);
    SendStop(port);
    DrainInput(n, port);
    for (int attempt = 0; attempt < kModeAttempts; ++attempt) {
        Send(port, via == Via::Menu ? "E" : "e");
        Wait(port, kCommandPause);
        Send(port, "\r");
        const Milliseconds wait = via == Via::Menu ? kEventModeSettle : kCommandPause;
        if (Contains(ReadReply(n, port, wait), "OK")) {
            break;
        }
    }
    port.SetRThreshold(1);
    record->proximityMode = true;
    SummaryRow& row = s_.view.Row(n);
    row.reading = "Reset";
    EntryCommands::StreamingModeView& modes = s_.view.Commands(n).streaming;
    modes.proximityMenusEnabled = true;
    modes.proximityMenuCaption = "Set to Distance Mode";
    modes.binaryMode = true;
    modes.modeMarker = "1";
    record->startInProx = true;
    SaveDeviceSetting(n, "StartInProx", "1");
    Note(n, Tab::Distance, " Set to Proximity mode");
    row.status = "OK";
    row.statusColour = TextColour::Blue;
    row.statusFontSize = 14;
    row.reading = " ";
    row.readingColour = TextColour::Red;
    s_.view.Changed();
}

void StreamingSensors::cmdSetToProximityMode_Click(int slot) {
    const int n = SetupIndexInSlot(Tab::Distance, slot);
    SerialPort* port = OpenPort(n, DeviceKind::Distance);
    if (port == nullptr) {
        if (DeviceModel::IsValidIndex(n)) {
            SummaryRow& row = s_.view.Row(n);
            row.reading = "OFF";
            row.statusVisible = false;
            s_.view.Commands(n).streaming.connectMenuCaption = "Connect This Sensor";
            s_.view.Changed();
        }
        return;
    }
    Exchange exchange(*this, n, DeviceKind::Distance);
    if (!exchange.Acquired()) {
        return;
    }
    BusyPointer busy(s_.view);
    try {
        if (s_.view.Slot(Tab::Distance, slot).modeCaption == kToDistanceCaption) {
            DistanceToStreaming(n, *port);
        } else {
            DistanceToProximity(n, *port, Via::Button);
        }
    } catch (const PortGone&) {
    }
}

void StreamingSensors::mnuPopupSetProximityMode_Click(int n) {
    SerialPort* port = OpenPort(n, DeviceKind::Distance);
    const DeviceRecord* record = s_.model.Entry(n);
    if (record == nullptr) {
        return;
    }
    if (port == nullptr) {
        SummaryRow& row = s_.view.Row(n);
        row.reading = "OFF";
        row.statusVisible = false;
        s_.view.Commands(n).streaming.connectMenuCaption = "Connect This Sensor";
        s_.view.Changed();
        return;
    }
    Exchange exchange(*this, n, DeviceKind::Distance);
    if (!exchange.Acquired()) {
        return;
    }
    At(n)->drain = true;
    BusyPointer busy(s_.view);
    try {
        if (record->proximityMode) {
            DistanceToStreaming(n, *port);
        } else {
            DistanceToProximity(n, *port, Via::Menu);
        }
    } catch (const PortGone&) {
    }
}

void StreamingSensors::StartInProximityMode(int n) {
    SerialPort* port = OpenPort(n, DeviceKind::Distance);
    DeviceRecord* record = s_.model.Entry(n);
    if (port == nullptr || record == nullptr) {
        return;
    }
    Exchange exchange(*this, n, DeviceKind::Distance);
    if (!exchange.Acquired()) {
        return;
    }
    if (!SendEventModeOn(*port)) {
        return;
    }
    SummaryRow& row = s_.view.Row(n);
    row.status = "OK";
    row.statusColour = TextColour::Blue;
    row.statusFontSize = 14;
    record->proximityMode = true;
    EntryCommands::StreamingModeView& modes = s_.view.Commands(n).streaming;
    modes.proximityMenuCaption = "Set to Distance Mode";
    modes.proximityMenusEnabled = true;
    modes.binaryMode = true;
    modes.modeMarker = "1";
    SetModeCaption(n, Tab::Distance, kToDistanceCaption);
    s_.view.Changed();
}

// ---- Restart and test ----

void StreamingSensors::Restart(int n, SerialPort& port, DeviceKind kind) {
    const char* start = kind == DeviceKind::Accelerometer ? "a" : "D";
    for (int attempt = 0; attempt < kRestartAttempts; ++attempt) {
        Send(port, start);
        Wait(port, kRestartPause);
        Send(port, "+");
        Wait(port, kRestartPause);
        Send(port, "\r");
        if (!ReadReply(n, port, kReplyWait).empty()) {
            break;
        }
    }
}

void StreamingSensors::RestartStreaming(int n) {
    const DeviceKind kind = s_.model.EffectiveKind(n);
    SerialPort* port = OpenPort(n, kind);
    if (port == nullptr) {
        return;
    }
    Exchange exchange(*this, n, kind);
    if (!exchange.Acquired()) {
        return;
    }
    try {
        Restart(n, *port, kind);
    } catch (const PortGone&) {
    }
}

void StreamingSensors::cmdDPlus_Click(int slot) {
    const int n = SetupIndexInSlot(Tab::Distance, slot);
    SerialPort* port = OpenPort(n, DeviceKind::Distance);
    if (port == nullptr) {
        return;
    }
    Exchange exchange(*this, n, DeviceKind::Distance);
    if (!exchange.Acquired()) {
        return;
    }
    try {
        Send(*port, "d");
        Wait(*port, kRestartPause);
        Send(*port, "+");
        Wait(*port, kRestartPause);
        Send(*port, "\r");
        ReadReply(n, *port, kReplyWait);
    } catch (const PortGone&) {
    }
}

// ---- Sensitivity ----

void StreamingSensors::TabSensitivity(int slot, DeviceKind kind) {
    const Tab tab = TabOf(kind);
    const int n = SetupIndexInSlot(tab, slot);
    if (OpenPort(n, kind) == nullptr) {
        s_.dialogs.ShowMessage(kNotOpened);
        return;
    }
    const auto entry = s_.dialogs.AskText(
        "Please enter a number between 1 (most sensitive) and 9 (least sensitive):");
    if (!entry) {
        return;
    }
    // The prompt let other events run: the sensor may be gone, or busy with another command.
    SerialPort* port = OpenPort(n, kind);
    DeviceRecord* record = s_.model.Entry(n);
    if (port == nullptr || record == nullptr) {
        return;
    }
    Exchange exchange(*this, n, kind);
    if (!exchange.Acquired()) {
        return;
    }
    Note(n, tab, " Setting Sens = " + *entry);
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
        if (kind == DeviceKind::Accelerometer) {
            if (s_.view.Slot(tab, slot).modeCaption == kStopMonitoringCaption) {
                AccelerometerToBump(n, *port);
            } else {
                AccelerometerToStreaming(n, *port, Via::Button);
            }
        } else if (record->proximityMode) {
            DistanceToProximity(n, *port, Via::Button);
        } else {
            DistanceToStreaming(n, *port);
        }
    } catch (const PortGone&) {
    }
}

void StreamingSensors::cmdSetBumpSens_Click(int slot) {
    TabSensitivity(slot, DeviceKind::Accelerometer);
}

void StreamingSensors::cmdSensD_Click(int slot) {
    TabSensitivity(slot, DeviceKind::Distance);
}

void StreamingSensors::mnuPopupSetSensitivity_Click(int n) {
    DeviceRecord* record = s_.model.Entry(n);
    const DeviceKind kind = s_.model.EffectiveKind(n);
    if (record == nullptr || (kind != DeviceKind::Accelerometer && kind != DeviceKind::Distance)) {
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
        if (Trimmed(*answer).empty()) {
            s_.dialogs.ShowMessage(kind == DeviceKind::Distance
                                       ? "Proximity sensitivity was not set."
                                       : "Bump sensitivity was not set.");
            return;
        }
        digit = SensitivityDigit(*answer);
        if (digit == 0) {
            s_.dialogs.ShowMessage("Number must be an integer between 1 and 9");
        }
        entry = *answer;
    }
    const std::string number = std::to_string(digit);
    Exchange exchange(*this, n, kind);
    if (!exchange.Acquired()) {
        return;
    }
    Note(n, TabOf(kind), " Setting Sens = " + entry);
    try {
        SerialPort* port = OpenPort(n, kind);
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
        port = OpenPort(n, kind);
        if (port == nullptr) {
            return;
        }
        const bool eventMode =
            kind == DeviceKind::Accelerometer ? record->bumpMode : record->proximityMode;
        if (eventMode) {
            Send(*port, "E");
            Wait(*port, kCommandPause);
            Send(*port, "\r");
        } else if (kind == DeviceKind::Distance) {
            Send(*port, "D");
            Wait(*port, kCommandPause);
            Send(*port, "+");
            Wait(*port, kCommandPause);
            Send(*port, "\r");
        } else {
            Send(*port, "a");
            Send(*port, "+");
            Send(*port, "\r");
            row.readingFontSize = 10;
        }
    } catch (const PortGone&) {
    }
    s_.view.Changed();
}

// ---- Calibration ----

void StreamingSensors::Calibrate(int n) {
    SerialPort* port = OpenPort(n, DeviceKind::Accelerometer);
    DeviceRecord* record = s_.model.Entry(n);
    if (port == nullptr || record == nullptr) {
        s_.dialogs.ShowMessage("Port is not opened");
        return;
    }
    Exchange exchange(*this, n, DeviceKind::Accelerometer);
    if (!exchange.Acquired()) {
        return;
    }
    BusyPointer busy(s_.view);
    SummaryRow& row = s_.view.Row(n);
    try {
        for (int attempt = 0; attempt < kCalibrateAttempts; ++attempt) {
            Send(*port, "c");
            Wait(*port, kCommandPause);
            Send(*port, "\r");
            if (!ReadReply(n, *port, kCommandPause).empty()) {
                row.reading = "0.00 / 0.00";
                row.readingFontSize = 10;
                s_.view.Changed();
                break;
            }
        }
        if (record->bumpMode) {
            SendStop(*port);
            DrainInput(n, *port);
            SetModeCaption(n, Tab::Accelerometer, kStopMonitoringCaption);
            Send(*port, "E");
            Wait(*port, kCommandPause);
            Send(*port, "\r");
            if (Contains(ReadReply(n, *port, kCommandPause), "Invalid")) {
                s_.dialogs.ShowMessage("Invalid request");
                return;
            }
            port->SetRThreshold(1);
            record->bumpMode = true;
            row.statusColour = TextColour::Blue;
            row.reading.clear();
            EntryCommands::StreamingModeView& modes = s_.view.Commands(n).streaming;
            modes.binaryMode = true;
            modes.modeMarker = "1";
        } else {
            Restart(n, *port, DeviceKind::Accelerometer);
        }
        Note(n, Tab::Accelerometer, " Calibrated");
    } catch (const PortGone&) {
    }
    s_.view.Changed();
}

void StreamingSensors::cmdCalibrate_Click(int slot) {
    Calibrate(SetupIndexInSlot(Tab::Accelerometer, slot));
}

void StreamingSensors::mnuPopupCalibrate_Click(int n) {
    Calibrate(n);
}

void StreamingSensors::CalibrateOnConnection(int n) {
    Calibrate(n);
}

}  // namespace vigiltron
