#include "sensors/DistanceSensor.h"

#include "alerts/ProximityActions.h"
#include "config/Preferences.h"
#include "core/LooseText.h"
#include "core/ViewModel.h"
#include "reporting/LogFiles.h"
#include "reporting/LogLines.h"
#include "sensors/PresenceChange.h"
#include "sensors/ReadingPipeline.h"

namespace vigiltron {

namespace {

constexpr const char* kToProximityCaption = "Set to Proximity mode";
constexpr const char* kToDistanceCaption = "Set to Distance mode";
constexpr const char* kNoObj = "No Obj";

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
    SetModeCaption(n, proximity ? kToDistanceCaption : kToProximityCaption);
}

void DistanceSensor::StartMode(int n) {
    if (s_.model.Entry(n)->startInProx) {
        StartInEventMode(n);
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
    // The sensor's memory of its last line: whether an object just left, and whether the slot's
    // reading changed between an object and none.
    std::string& lastText = lastDistanceText_[std::size_t(n)];
    Reading reading;
    reading.setupIndex = n;
    reading.kind = DeviceKind::Distance;
    reading.text = line;
    std::string changed;
    if (Contains(line, "Object")) {
        changed = lastText != kNoObj ? "1" : "0";
        if (lastText != kNoObj) {
            reading.change = Reading::Change::ObjectGone;
        }
        lastText = kNoObj;
    } else if (Contains(line, "cm")) {
        changed = lastText == kNoObj ? "1" : "0";
        lastText = line;
    } else if (Contains(line, "Error")) {
        lastText.clear();
    }
    if (const int slot = SlotOf(n); !changed.empty() && SlotTable::IsValidSlot(slot)) {
        objectChanged_[std::size_t(slot)] = changed;
    }
    s_.readings.Take(reading);
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
    PresenceChange{s_.readings, s_.actions, s_.dialogs, s_.view, s_.model}(
        n, DeviceKind::Distance, port->DSRHolding(), "Error in MSCommD event handler: ");
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
