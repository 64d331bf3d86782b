#include "sensors/DistanceSensor.h"

#include "alerts/ProximityActions.h"
#include "alerts/ThresholdEvaluator.h"
#include "config/Preferences.h"
#include "core/ViewModel.h"
#include "reporting/LogFiles.h"
#include "reporting/LogLines.h"

namespace vigiltron {

namespace {

constexpr int kDistanceKindCode = 9;
constexpr int kNoCamera = 99;

constexpr const char* kToProximityCaption = "Set to Proximity mode";
constexpr const char* kToDistanceCaption = "Set to Distance mode";
constexpr const char* kNoObj = "No Obj";

bool Contains(std::string_view text, std::string_view what) {
    return text.find(what) != std::string_view::npos;
}

}  // namespace

DistanceSensor::DistanceSensor(StreamServices services)
    : StreamSensor(services, StreamKind{DeviceKind::Distance, Tab::Distance, PortGroup::Distance,
                                        &DeviceRecord::proximityMode, "D",
                                        "Proximity sensitivity was not set."}) {
    for (int slot = 1; slot <= 4; ++slot) {
        s_.view.Slot(Tab::Distance, slot).modeCaption = kToProximityCaption;
    }
}

const std::string& DistanceSensor::LastDistanceText(int n) const {
    static const std::string kNone;
    return n >= 1 && n <= 10 ? lastDistanceText_[std::size_t(n)] : kNone;
}

const std::string& DistanceSensor::ObjectChanged(int slot) const {
    static const std::string kNone;
    return slot >= 1 && slot <= 4 ? objectChanged_[std::size_t(slot)] : kNone;
}

void DistanceSensor::ForgetReadings(int n) {
    if (n >= 1 && n <= 10) {
        lastDistanceText_[std::size_t(n)].clear();
    }
}

void DistanceSensor::ShowMode(int n) {
    const bool proximity = InEventMode(n);
    EntryCommands::StreamingModeView& modes = s_.view.Commands(n).streaming;
    modes.binaryMode = proximity;
    modes.modeMarker = proximity ? "1" : "0";
    modes.proximityMenuCaption = proximity ? "Set to Distance Mode" : kToProximityCaption;
    // Once offered, the proximity menus stay until the sensor is disconnected.
    if (proximity) {
        modes.proximityMenusEnabled = true;
    }
    SetModeCaption(n, proximity ? kToDistanceCaption : kToProximityCaption);
}

void DistanceSensor::StartMode(int n) {
    if (s_.model.Entry(n)->startInProx) {
        StartInProximityMode(n);
    } else {
        SetEventMode(n, false);
        RestartStreaming(n);
    }
}

// ---- Lines and DSR ----

void DistanceSensor::HandleLine(int n, const std::string& line) {
    if (line.empty()) {
        return;
    }
    std::string& lastText = lastDistanceText_[std::size_t(n)];
    const DeviceRecord* record = s_.model.Entry(n);
    const int slot = SlotOf(n);
    SummaryRow& row = s_.view.Row(n);
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
        if (lastText != kNoObj) {
            changed = "1";
            logged = "No Object";
            if (s_.prefs.CheckRange && !s_.prefs.chkLocalMonitoring) {
                s_.evaluator.OutOfRangeAlert(n, slot);
            }
        } else {
            changed = "0";
        }
        lastText = kNoObj;
    } else if (const auto cm = line.find("cm"); cm != std::string::npos) {
        row.reading = line;
        row.readingColour = TextColour::Blue;
        logged = line.substr(0, cm + 2);
        changed = lastText == kNoObj ? "1" : "0";
        lastText = line;
    } else if (Contains(line, "Error")) {
        row.reading = "Error";
        row.readingColour = TextColour::Blue;
        lastText.clear();
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

void DistanceSensor::ShowConfirmation(int n) {
    SummaryRow& row = s_.view.Row(n);
    row.status = "OK";
    row.statusFontSize = 14;
    row.reading = " ";
    s_.view.Changed();
}

void DistanceSensor::LineChanged(int n) {
    const DeviceRecord* record = s_.model.Entry(n);
    SerialPort* port = OpenPort(n);
    // Presence on DSR counts only in proximity mode: in distance mode it must not lock the
    // workstation or run commands.
    if (record == nullptr || port == nullptr || !record->proximityMode) {
        return;
    }
    const int slot = SlotOf(n);
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

// ---- Mode ----

void DistanceSensor::ShowModeSet(int n) {
    SummaryRow& row = s_.view.Row(n);
    row.status = "OK";
    row.statusColour = TextColour::Blue;
    row.statusFontSize = 14;
    row.reading = " ";
    row.readingColour = TextColour::Red;
    s_.view.Changed();
}

void DistanceSensor::ToStreaming(int n, SerialPort& port) {
    DeviceRecord* record = s_.model.Entry(n);
    SetEventMode(n, false);
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
    record->startInProx = false;
    SaveDeviceSetting(n, "StartInProx", "0");
    Note(n, " Set to Distance mode");
    ShowModeSet(n);
}

void DistanceSensor::ToProximity(int n, SerialPort& port, Via via) {
    DeviceRecord* record = s_.model.Entry(n);
    SetEventMode(n, true);
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
    s_.view.Row(n).reading = "Reset";
    record->startInProx = true;
    SaveDeviceSetting(n, "StartInProx", "1");
    Note(n, " Set to Proximity mode");
    ShowModeSet(n);
}

void DistanceSensor::RestoreMode(int n, SerialPort& port) {
    if (InEventMode(n)) {
        ToProximity(n, port, Via::Button);
    } else {
        ToStreaming(n, port);
    }
}

void DistanceSensor::ResumeStream(int /*n*/, SerialPort& port) {
    Send(port, "D");
    Wait(port, kCommandPause);
    Send(port, "+");
    Wait(port, kCommandPause);
    Send(port, "\r");
}

void DistanceSensor::ShowNotConnected(int n) {
    SummaryRow& row = s_.view.Row(n);
    row.reading = "OFF";
    row.statusVisible = false;
    s_.view.Commands(n).streaming.connectMenuCaption = "Connect This Sensor";
    s_.view.Changed();
}

void DistanceSensor::cmdSetToProximityMode_Click(int slot) {
    const int n = SetupIndexInSlot(slot);
    SerialPort* port = OpenPort(n);
    if (port == nullptr) {
        if (DeviceModel::IsValidIndex(n)) {
            ShowNotConnected(n);
        }
        return;
    }
    Exchange exchange(*this, n);
    if (!exchange.Acquired()) {
        return;
    }
    BusyPointer busy(s_.view);
    try {
        if (InEventMode(n)) {
            ToStreaming(n, *port);
        } else {
            ToProximity(n, *port, Via::Button);
        }
    } catch (const PortGone&) {
    }
}

void DistanceSensor::mnuPopupSetProximityMode_Click(int n) {
    SerialPort* port = OpenPort(n);
    if (s_.model.Entry(n) == nullptr) {
        return;
    }
    if (port == nullptr) {
        ShowNotConnected(n);
        return;
    }
    Exchange exchange(*this, n);
    if (!exchange.Acquired()) {
        return;
    }
    RequestDrain(n);
    BusyPointer busy(s_.view);
    try {
        if (InEventMode(n)) {
            ToStreaming(n, *port);
        } else {
            ToProximity(n, *port, Via::Menu);
        }
    } catch (const PortGone&) {
    }
}

void DistanceSensor::StartInProximityMode(int n) {
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
    row.statusColour = TextColour::Blue;
    row.statusFontSize = 14;
    SetEventMode(n, true);
    s_.view.Changed();
}

// ---- Test ----

void DistanceSensor::cmdDPlus_Click(int slot) {
    const int n = SetupIndexInSlot(slot);
    SerialPort* port = OpenPort(n);
    if (port == nullptr) {
        return;
    }
    Exchange exchange(*this, n);
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

}  // namespace vigiltron
