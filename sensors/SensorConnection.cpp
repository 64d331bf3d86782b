// Connecting and disconnecting entries: the second half of SensorLink.
#include <exception>
#include <stdexcept>

#include "core/DeviceModel.h"
#include "reporting/LogFiles.h"
#include "sensors/SensorLink.h"

namespace vigiltron {

namespace {

std::string WithoutLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) {
        text.pop_back();
    }
    return text;
}

std::string WithoutQuestionMarks(std::string text) {
    std::erase(text, '?');
    return text;
}

bool Contains(const std::string& text, const char* what) {
    return text.find(what) != std::string::npos;
}

bool IsPolledKind(DeviceKind kind) {
    return kind == DeviceKind::Temperature || kind == DeviceKind::Humidity ||
           kind == DeviceKind::Combined;
}

// A failure inside the connection steps, with the description the user is shown.
struct ConnectFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace

void SensorLink::ConnectSensor(int n) {
    Entry* e = At(n);
    DeviceRecord* record = s_.model.Entry(n);
    if (!e || !record) {
        return;
    }
    BusyPointer busy(s_.view);
    EntryCommands& commands = s_.view.Commands(n);
    commands.connectEnabled = false;
    bool connected = false;
    bool portWasOpen = false;
    const DeviceKind kind = KindFromDeviceType(record->deviceType);
    try {
        if (kind == DeviceKind::Empty) {
            s_.dialogs.ShowMessage("Device not found.", MessageIcon::Information);
            commands.connectEnabled = true;
            s_.view.Changed();
            return;
        }
        if (IsCamera(kind)) {
            commands.connectEnabled = true;
            Record("connect", std::to_string(n) + " cameras are not supported yet");
            s_.view.Changed();
            return;
        }
        s_.model.TakeSlot(n);
        ShowOnTab(n);

        const PortGroup group = GroupOf(kind);
        SerialPort& port = EnsurePort(n, group);
        if (port.IsOpen()) {
            portWasOpen = true;
            s_.dialogs.ShowMessage("Port already open");
            throw ConnectFailure("");
        }
        const bool streaming = kind == DeviceKind::Accelerometer || kind == DeviceKind::Distance;
        port.SetCommPort(record->port);
        port.SetRThreshold(streaming ? 1 : 0);
        port.SetRTSEnable(true);
        port.SetSettings(SettingsOf(kind));
        port.SetSThreshold(streaming ? 1 : 0);
        if (!port.Open() || !port.IsOpen()) {
            std::string text = "Port open wasn't true";
            if (!port.LastError().empty()) {
                text += "\n" + port.LastError();
            }
            s_.dialogs.ShowMessage(text);
            throw ConnectFailure("");
        }
        if (kind == DeviceKind::Accelerometer) {
            port.Input();  // stale bytes from before the connection
        }

        const std::string reply = protocol_.Identify(port, KindCode(kind));
        const std::string shown = WithoutLineEnd(reply);
        auto reject = [&](const char* notKind) {
            s_.dialogs.ShowMessage(notKind);
            s_.dialogs.ShowMessage("Device string returned: " + WithoutQuestionMarks(shown));
        };
        switch (kind) {
            case DeviceKind::Temperature:
            case DeviceKind::Humidity:
            case DeviceKind::Combined:
                if (Contains(reply, "Vigiltron/T")) {
                    if (kind != DeviceKind::Temperature) {
                        s_.dialogs.ShowMessage("Warning: Device appears to be a " + shown,
                                               MessageIcon::Information);
                        CloseEntryPorts(n);
                        commands.connectCaption = "Connect";
                        commands.connectEnabled = true;
                        if (s_.deleteEntry) {
                            s_.deleteEntry(n);
                        }
                        s_.view.Changed();
                        return;
                    }
                    connected = true;
                } else if (Contains(reply, "Vigiltron/H")) {
                    connected = true;
                } else if (!reply.empty()) {
                    s_.dialogs.ShowMessage("Device appears to be a " + shown);
                } else {
                    s_.dialogs.ShowMessage("Device not responding to ID query.");
                }
                break;
            case DeviceKind::Proximity:
                if (Contains(reply, "Vigiltron/P")) {
                    connected = true;
                } else if (!reply.empty()) {
                    reject("Device is not a Vigiltron/P (Proximity Sensor)");
                } else {
                    s_.dialogs.ShowMessage("Proximity sensor not responding to ID query.");
                }
                break;
            case DeviceKind::Water:
                if (Contains(reply, "Vigiltron/W")) {
                    connected = true;
                } else if (!reply.empty()) {
                    s_.dialogs.ShowMessage("Device appears to be a " + shown,
                                           MessageIcon::Information);
                } else {
                    s_.dialogs.ShowMessage("Water sensor not responding to ID query.");
                }
                break;
            case DeviceKind::Accelerometer:
                if (Contains(reply, "Vigiltron/A")) {
                    connected = true;
                } else if (!reply.empty()) {
                    reject("Device is not a Vigiltron/A (Accelerometer Sensor)");
                } else {
                    s_.dialogs.ShowMessage("Sensor not responding to ID query.");
                }
                break;
            case DeviceKind::Distance:
                if (Contains(reply, "Vigiltron/D") || Contains(reply, "Vigiltron/P")) {
                    connected = true;
                } else if (!reply.empty()) {
                    reject("Device is not a Vigiltron/D (Distance Sensor)");
                } else {
                    s_.dialogs.ShowMessage("Sensor not responding to ID query.");
                }
                break;
            default:
                break;
        }

        if (connected) {
            PrepareConnected(n, kind);
            Record("connect", std::to_string(n) + " " + record->deviceName + " connected on COM" +
                                  std::to_string(record->port) + " (" + shown + ")");
            if (IsPolledKind(kind)) {
                StartPolling(n);
            } else if (startEventSensor) {
                startEventSensor(n, kind);
            }
        }
    } catch (const ConnectFailure&) {
        connected = false;
    } catch (const std::exception& failure) {
        connected = false;
        const std::string description = failure.what();
        s_.dialogs.ShowMessage("Error: " + description + ".\n" +
                               " Please make sure sensor is connected and that you have the "
                               "correct COM port.");
        if (Contains(description, "Path not found")) {
            s_.dialogs.ShowMessage(
                " Please check your Log File directory setting, to make sure the directory "
                "exists on your hard drive.");
            s_.logFiles.ChooseLogDirectory();
            CloseEntryPorts(n);
            commands.connectEnabled = true;
            commands.deleteEnabled = true;
            s_.model.MarkConnectFailed(n);
        }
    }
    if (!connected && !portWasOpen) {
        commands.connectEnabled = true;
        CloseEntryPorts(n);
        s_.model.MarkConnectFailed(n);
        Record("connect", std::to_string(n) + " " + record->deviceName + " did not connect");
    } else if (!connected) {
        commands.connectEnabled = true;
    }
    // The caption follows whether the entry really is connected, so a sensor whose first
    // reading failed still offers "Disconnect" while it is being polled.
    commands.connectCaption = s_.model.Entry(n)->IsConnected() ? "Disconnect" : "Connect";
    s_.view.Changed();
}

void SensorLink::ShowOnTab(int n) {
    const DeviceRecord* record = s_.model.Entry(n);
    if (!record || s_.model.IsComboTemperatureHalf(n)) {
        return;  // a combined sensor is shown through its lead half
    }
    const DeviceKind kind = KindFromDeviceType(record->deviceType);
    auto bind = [&](Tab tab, int slot, int index) {
        if (slot < 1 || slot > 4) {
            return;
        }
        TabSlotView& view = s_.view.Slot(tab, slot);
        view.visible = true;
        view.setupIndex = index;
        view.caption = record->deviceName;
        s_.view.TabAt(tab).emptyNoticeVisible = false;
    };
    if (kind == DeviceKind::Combined) {
        const auto [tempSlot, humidSlot] = ComboSlots(n);
        bind(Tab::Temperature, tempSlot, n + 1);
        bind(Tab::Humidity, humidSlot, n);
    } else if (const auto tab = TabOfKind(kind)) {
        bind(*tab, s_.model.SlotOf(n, *tab), n);
    }
}

void SensorLink::PrepareConnected(int n, DeviceKind kind) {
    DeviceRecord* record = s_.model.Entry(n);
    auto showHighLow = [&](Tab tab, int slot) {
        if (slot >= 1 && slot <= 4) {
            s_.view.Slot(tab, slot).highLowVisible = true;
        }
    };
    switch (kind) {
        case DeviceKind::Temperature:
            showHighLow(Tab::Temperature, SlotOf(n));
            break;
        case DeviceKind::Humidity:
            showHighLow(Tab::Humidity, SlotOf(n));
            break;
        case DeviceKind::Combined: {
            const auto [tempSlot, humidSlot] = ComboSlots(n);
            showHighLow(Tab::Temperature, tempSlot);
            showHighLow(Tab::Humidity, humidSlot);
            break;
        }
        default:
            break;
    }
    if (record->fileLogging) {
        std::string error;
        if (kind == DeviceKind::Combined) {
            error = s_.logFiles.OpenFirstFile(n, record->deviceName, "_Humid");
            if (error.empty() && n < 10) {
                error = s_.logFiles.OpenFirstFile(n + 1, record->deviceName, "_Temp");
            }
        } else {
            error = s_.logFiles.OpenFirstFile(n, record->deviceName, "");
        }
        if (!error.empty()) {
            throw std::runtime_error(error);
        }
    }
    s_.model.MarkConnected(n);
    EntryCommands& commands = s_.view.Commands(n);
    commands.connectEnabled = true;
    commands.connectCaption = "Disconnect";
    commands.deleteEnabled = false;
    SummaryRow& row = s_.view.Row(n);
    row.name = record->deviceName;
    row.visible = true;
    row.statusVisible = true;
    row.unitFontSize = 14;
    if (kind == DeviceKind::Temperature) {
        row.unitVisible = true;
    }
    if (kind == DeviceKind::Combined && n < 10) {
        SummaryRow& temperatureRow = s_.view.Row(n + 1);
        temperatureRow.name = record->deviceName;
        temperatureRow.visible = true;
        temperatureRow.statusVisible = true;
        temperatureRow.unitVisible = true;
        temperatureRow.unitFontSize = 14;
    }
}

void SensorLink::cmdConnectSensor_Click(int n) {
    const DeviceRecord* record = s_.model.Entry(n);
    if (!record) {
        return;
    }
    BusyPointer busy(s_.view);
    try {
        if (s_.view.Commands(n).connectCaption == "Connect") {
            ConnectSensor(n);
        } else {
            s_.view.connectAllEnabled = true;
            if (record->port != 0) {
                DisconnectSensor(n);
            } else {
                Record("connect", std::to_string(n) + " cameras are not supported yet");
            }
        }
    } catch (const std::exception& failure) {
        if (s_.errorJournal) {
            s_.errorJournal(":334", std::string("cmdConnectSensor Error: ") + failure.what());
        }
    }
}

void SensorLink::cmdConnectAll_Click() {
    BusyPointer busy(s_.view);
    s_.view.connectAllEnabled = false;
    s_.view.Changed();
    try {
        for (int n = 1; n <= 10; ++n) {
            const DeviceRecord* record = s_.model.Entry(n);
            const EntryCommands& commands = s_.view.Commands(n);
            const bool pending = commands.connectVisible && commands.connectEnabled &&
                                 commands.connectCaption != "Disconnect" &&
                                 !record->deviceType.empty();
            entries_[n]->pendingConnect = pending ? (record->port != 0 ? record->port : 4) : 0;
        }
        for (int n = 1; n <= 10; ++n) {
            if (entries_[n]->pendingConnect != 0 &&
                s_.view.Commands(n).connectCaption == "Connect") {
                ConnectSensor(n);
                // Sensors on one hub need a moment between connections.
                s_.loop.Pause(Milliseconds(1500));
            }
        }
    } catch (const std::exception&) {
        if (s_.errorJournal) {
            s_.errorJournal(":234", "cmdConnectAll Error");
        }
    }
    s_.view.connectAllEnabled = true;
    s_.view.Changed();
}

void SensorLink::ResetHighLow(Tab tab, int slot) {
    if (slot < 1 || slot > 4) {
        return;
    }
    TabSlotView& view = s_.view.Slot(tab, slot);
    view.highLowVisible = false;
    view.highest = "0";
    view.lowest = "100";
}

void SensorLink::DisconnectSensor(int n) {
    Entry* e = At(n);
    DeviceRecord* record = s_.model.Entry(n);
    if (!e || !record) {
        return;
    }
    switch (record->connectedKind) {
        case DeviceKind::Temperature:
            e->pollTimer.SetEnabled(false);
            s_.readings.ClearTemperatureLatches();
            ResetHighLow(Tab::Temperature, SlotOf(n));
            break;
        case DeviceKind::Humidity:
            e->pollTimer.SetEnabled(false);
            s_.readings.ClearHumidityLatches();
            ResetHighLow(Tab::Humidity, SlotOf(n));
            break;
        case DeviceKind::Proximity:
        case DeviceKind::Water:
            s_.view.Commands(n).connectEnabled = true;
            s_.view.Commands(n).connectCaption = "Connect";
            if (resetEventSensor) {
                resetEventSensor(n, record->connectedKind);
            }
            break;
        case DeviceKind::Combined: {
            e->pollTimer.SetEnabled(false);
            if (Entry* next = At(n + 1)) {
                next->pollTimer.SetEnabled(false);
                SummaryRow& row = s_.view.Row(n + 1);
                row.status.clear();
                row.unitVisible = false;
                row.reading = "OFF";
            }
            SummaryRow& row = s_.view.Row(n);
            row.status.clear();
            row.unitVisible = false;
            s_.readings.ClearTemperatureLatches();
            s_.readings.ClearHumidityLatches();
            const auto [tempSlot, humidSlot] = ComboSlots(n);
            ResetHighLow(Tab::Temperature, tempSlot);
            ResetHighLow(Tab::Humidity, humidSlot);
            break;
        }
        case DeviceKind::Accelerometer:
        case DeviceKind::Distance:
            if (resetEventSensor) {
                resetEventSensor(n, record->connectedKind);
            }
            break;
        default:
            break;
    }
    auto resetRow = [&](int index) {
        SummaryRow& row = s_.view.Row(index);
        row.readingFontSize = 14;
        row.unit.clear();
        row.unitVisible = false;
        row.picture = "reddot.gif";
        row.reading = "OFF";
        row.readingColour = TextColour::Black;
        row.readingBorder = true;
    };
    resetRow(n);
    if (record->connectedKind == DeviceKind::Combined && n < 10) {
        resetRow(n + 1);
    }
    s_.view.Commands(n).deleteEnabled = true;
    s_.view.Commands(n).connectEnabled = false;
    Record("connect", std::to_string(n) + " " + record->deviceName + " disconnected");
    cmdDisconnectSensor_Click(n);
}

void SensorLink::CloseEntryPorts(int n) {
    Entry* e = At(n);
    if (!e) {
        return;
    }
    for (auto& port : e->ports) {
        if (port && port->IsOpen()) {
            port->Close();
        }
    }
}

void SensorLink::cmdDisconnectSensor_Click(int n) {
    Entry* e = At(n);
    DeviceRecord* record = s_.model.Entry(n);
    if (!e || !record) {
        return;
    }
    BusyPointer busy(s_.view);
    try {
        CloseEntryPorts(n);
        const bool combined =
            record->connectedKind == DeviceKind::Combined || record->kind == DeviceKind::Combined;
        s_.model.MarkDisconnected(n);
        e->pendingConnect = 0;
        s_.view.Row(n).statusVisible = false;
        EntryCommands& commands = s_.view.Commands(n);
        commands.connectEnabled = true;
        commands.connectCaption = "Connect";
        s_.view.connectAllEnabled = true;
        if (record->fileLogging) {
            s_.logFiles.CloseFile(n);
            if (combined && n < 10) {
                s_.logFiles.CloseFile(n + 1);
            }
        }
    } catch (const std::exception&) {
        s_.dialogs.ShowMessage("There was an error when disconnecting sensors.",
                               MessageIcon::Information);
    }
    s_.view.Changed();
}

void SensorLink::CloseAllPorts() {
    for (int n = 1; n <= 10; ++n) {
        entries_[n]->pollTimer.SetEnabled(false);
        CloseEntryPorts(n);
    }
}

void SensorLink::PortLost(int n) {
    (void)n;
}

}  // namespace vigiltron
