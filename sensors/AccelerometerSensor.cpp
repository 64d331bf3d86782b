#include "sensors/AccelerometerSensor.h"

#include "config/Preferences.h"
#include "core/LooseText.h"
#include "core/ReadingValue.h"
#include "core/ViewModel.h"
#include "reporting/LogFiles.h"
#include "reporting/LogLines.h"
#include "sensors/ReadingPipeline.h"

namespace vigiltron {

namespace {

constexpr const char* kBumpCaption = "Set to Monitor 'bump'";
constexpr const char* kStopMonitoringCaption = "Stop monitoring";
constexpr const char* kNotOpened = "Sensor has not been opened";

}  // namespace

AccelerometerSensor::AccelerometerSensor(StreamServices services)
    : StreamSensor(services, StreamKind{DeviceKind::Accelerometer, Tab::Accelerometer,
                                        PortGroup::Accelerometer, &DeviceRecord::bumpMode, "a",
                                        "Bump sensitivity was not set."}) {
    for (int slot = 1; slot <= 4; ++slot) {
        s_.view.Slot(Tab::Accelerometer, slot).modeCaption = kBumpCaption;
    }
}

void AccelerometerSensor::ShowMode(int n) {
    const bool bump = InEventMode(n);
    EntryCommands::StreamingModeView& modes = s_.view.Commands(n).streaming;
    modes.binaryMode = bump;
    modes.modeMarker = bump ? "1" : "0";
    SetModeCaption(n, bump ? kStopMonitoringCaption : kBumpCaption);
}

void AccelerometerSensor::StartMode(int n) {
    const DeviceRecord* record = s_.model.Entry(n);
    if (record->startInBump) {
        StartInEventMode(n);
    } else {
        SetEventMode(n, false);
        RestartStreaming(n);
    }
    if (record->calibrateOnConnect) {
        CalibrateOnConnection(n);
    }
}

// ---- Lines and DSR ----

void AccelerometerSensor::HandleLine(int n, const std::string& line) {
    // A bare CR carries nothing, and "Invalid" answers a command, not a tilt.
    if (line.empty() || Contains(line, "Invalid")) {
        return;
    }
    Reading reading;
    reading.setupIndex = n;
    reading.kind = DeviceKind::Accelerometer;
    reading.text = line;
    s_.readings.Take(reading);
}

void AccelerometerSensor::ShowConfirmation(int n) {
    SummaryRow& row = s_.view.Row(n);
    row.status = "OK";
    row.reading = " ";
    s_.view.Changed();
}

void AccelerometerSensor::LineChanged(int n) {
    const DeviceRecord* record = s_.model.Entry(n);
    SerialPort* port = OpenPort(n);
    // DSR reports knocks only in bump mode; a tilt-streaming sensor's line means nothing.
    if (record == nullptr || port == nullptr || !record->bumpMode) {
        return;
    }
    Reading reading;
    reading.setupIndex = n;
    reading.kind = DeviceKind::Accelerometer;
    reading.change = port->DSRHolding() ? Reading::Change::Bump : Reading::Change::BumpOver;
    s_.readings.Take(reading);
}

// ---- Mode ----

void AccelerometerSensor::ToBump(int n, SerialPort& port) {
    DeviceRecord* record = s_.model.Entry(n);
    port.SetRThreshold(0);
    SendStop(port);
    DrainInput(n, port);
    // Once the sensor is being switched, the button offers to stop monitoring.
    SetEventMode(n, true);
    for (int attempt = 0; attempt < kModeAttempts; ++attempt) {
        Send(port, "e");
        Wait(port, kCommandPause);
        Send(port, "\r");
        if (Contains(ReadReply(n, port, kCommandPause), "OK")) {
            break;
        }
    }
    port.SetRThreshold(1);
    SummaryRow& row = s_.view.Row(n);
    row.statusColour = TextColour::Blue;
    row.reading.clear();
    record->startInBump = true;
    SaveDeviceSetting(n, "StartInBump", "1");
    Note(n, " Set To Bump Mode");
    s_.view.Changed();
}

void AccelerometerSensor::ToStreaming(int n, SerialPort& port, Via via) {
    DeviceRecord* record = s_.model.Entry(n);
    SummaryRow& row = s_.view.Row(n);
    SetEventMode(n, false);
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
        }
        if (Contains(ReadReply(n, port, kReplyWait), "OK")) {
            break;
        }
    }
    port.SetRThreshold(1);
    record->startInBump = false;
    SaveDeviceSetting(n, "StartInBump", "0");
    Note(n, " Set to Accel Mode");
    s_.view.Changed();
}

void AccelerometerSensor::RestoreMode(int n, SerialPort& port) {
    if (InEventMode(n)) {
        ToBump(n, port);
    } else {
        ToStreaming(n, port, Via::Button);
    }
}

void AccelerometerSensor::ResumeStream(int n, SerialPort& port) {
    Send(port, "a");
    Send(port, "+");
    Send(port, "\r");
    s_.view.Row(n).readingFontSize = 10;
}

void AccelerometerSensor::cmdSetToBump_Click(int slot) {
    const int n = SetupIndexInSlot(slot);
    SerialPort* port = OpenPort(n);
    if (port == nullptr) {
        s_.dialogs.ShowMessage(kNotOpened);
        return;
    }
    Exchange exchange(*this, n);
    if (!exchange.Acquired()) {
        return;
    }
    BusyPointer busy(s_.view);
    try {
        if (InEventMode(n)) {
            ToStreaming(n, *port, Via::Button);
        } else {
            ToBump(n, *port);
        }
    } catch (const PortGone&) {
    }
}

void AccelerometerSensor::mnuPopUpSetToBinaryMode_Click(int n) {
    SerialPort* port = OpenPort(n);
    if (port == nullptr || s_.model.Entry(n) == nullptr) {
        s_.dialogs.ShowMessage(kNotOpened);
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
            ToStreaming(n, *port, Via::Menu);
        } else {
            ToBump(n, *port);
        }
    } catch (const PortGone&) {
    }
}

// ---- Calibration ----

void AccelerometerSensor::Calibrate(int n) {
    SerialPort* port = OpenPort(n);
    if (port == nullptr || s_.model.Entry(n) == nullptr) {
        s_.dialogs.ShowMessage("Port is not opened");
        return;
    }
    Exchange exchange(*this, n);
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
        if (InEventMode(n)) {
            // Calibrating stopped the bump monitoring: start it again.
            SendStop(*port);
            DrainInput(n, *port);
            Send(*port, "E");
            Wait(*port, kCommandPause);
            Send(*port, "\r");
            if (Contains(ReadReply(n, *port, kCommandPause), "Invalid")) {
                s_.dialogs.ShowMessage("Invalid request");
                return;
            }
            port->SetRThreshold(1);
            SetEventMode(n, true);
            row.statusColour = TextColour::Blue;
            row.reading.clear();
        } else {
            Restart(n, *port);
        }
        Note(n, " Calibrated");
    } catch (const PortGone&) {
    }
    s_.view.Changed();
}

void AccelerometerSensor::cmdCalibrate_Click(int slot) {
    Calibrate(SetupIndexInSlot(slot));
}

void AccelerometerSensor::mnuPopupCalibrate_Click(int n) {
    Calibrate(n);
}

void AccelerometerSensor::CalibrateOnConnection(int n) {
    Calibrate(n);
}

}  // namespace vigiltron
