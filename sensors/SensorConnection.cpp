// Connecting and disconnecting entries: the second half of SensorLink.
#include <exception>
#include <stdexcept>

#include "alerts/AlertDispatcher.h"
#include "core/DeviceModel.h"
#include "core/LooseText.h"
#include "reporting/LogFiles.h"
#include "sensors/EventSensors.h"
#include "sensors/ReadingPipeline.h"
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

// A failure inside the connection steps, with the description the user is shown.
struct ConnectFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace

void SensorLink::Tell(Quiet quiet, const std::string& text, MessageIcon icon) {
    if (quiet == Quiet::No) {
        s_.dialogs.ShowMessage(text, icon);
    }
}

SerialPort* SensorLink::OpenSensorPort(int n, DeviceKind kind, Quiet quiet) {
    const SensorKindInfo* info = SensorKindOf(kind);
    const DeviceRecord* record = s_.model.Entry(n);
    SerialPort& port = EnsurePort(n, info->group);
    const int threshold = info->streaming ? 1 : 0;
    port.SetCommPort(record->port);
    port.SetRThreshold(threshold);
    port.SetRTSEnable(true);
    port.SetSettings(info->portSettings);
    port.SetSThreshold(threshold);
    if (!port.Open() || !port.IsOpen()) {
        std::string text = "Port open wasn't true";
        if (!port.LastError().empty()) {
            text += "\n" + port.LastError();
        }
        Tell(quiet, text);
        return nullptr;
    }
    if (kind == DeviceKind::Accelerometer) {
        port.Input();  // stale bytes from before the connection
    }
    return &port;
}

SensorLink::Identity SensorLink::AcceptIdentity(int n, DeviceKind kind, const std::string& reply,
                                                Quiet quiet) {
    const SensorKindInfo& info = *SensorKindOf(kind);
    const std::string shown = WithoutLineEnd(reply);
    if (IsPolledKind(kind) && Contains(reply, "Vigiltron/T") && kind != DeviceKind::Temperature) {
        // A temperature sensor set up as humidity or combined is taken out of the setup.
        Tell(quiet, "Warning: Device appears to be a " + shown, MessageIcon::Information);
        if (quiet == Quiet::Yes) {
            return Identity::Refused;
        }
        CloseEntryPorts(n);
        EntryCommands& commands = s_.view.Commands(n);
        commands.connectCaption = "Connect";
        commands.connectEnabled = true;
        if (s_.deleteEntry) {
            s_.deleteEntry(n);
        }
        s_.view.Changed();
        return Identity::WrongKindDeleted;
    }
    for (const char* accepted : info.accepted) {
        if (accepted != nullptr && Contains(reply, accepted)) {
            return Identity::Accepted;
        }
    }
    if (reply.empty()) {
        Tell(quiet, info.silence);
    } else if (info.refusal != nullptr) {
        Tell(quiet, info.refusal);
        Tell(quiet, "Device string returned: " + WithoutQuestionMarks(shown));
    } else {
        Tell(quiet, "Device appears to be a " + shown, info.otherDeviceIcon);
    }
    return Identity::Refused;
}

void SensorLink::CompleteConnection(int n, DeviceKind kind, bool continued) {
    PrepareConnected(n, kind, continued);
    // The status picture tells at a glance which rows are in service.
    s_.view.Row(n).picture = "greendot.gif";
    if (const int partner = s_.model.ComboPartnerOf(n); partner != 0) {
        s_.view.Row(partner).picture = "greendot.gif";
    }
    if (continued) {
        // Before the first reading, so the file tells the story in order.
        s_.logFiles.NoteConnection(n, "Sensor connected again");
    }
    // Before the first reading, which connecting takes at once.
    if (connectionChanged) {
        connectionChanged(n);
    }
    if (IsPolledKind(kind)) {
        // A polled sensor's port reports nothing but its own loss.
        if (SerialPort* port = Port(n, PortGroup::Polled)) {
            port->SetOnComm([this, n](CommEvent event) {
                if (event == CommEvent::DeviceLost) {
                    PortLost(n);
                }
            });
        }
        StartPolling(n);
    } else if (EventSensors* sensors = EventSensorsOf(kind)) {
        sensors->Start(n, kind);
    }
}

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
            if (connectCamera) {
                connectCamera(n);
            }
            s_.view.Changed();
            return;
        }
        EndLoss(n);  // a connection by hand takes over from the automatic one
        s_.model.TakeSlot(n);
        ShowOnTab(n);

        if (EnsurePort(n, SensorKindOf(kind)->group).IsOpen()) {
            portWasOpen = true;
            s_.dialogs.ShowMessage("Port already open");
            throw ConnectFailure("");
        }
        SerialPort* port = OpenSensorPort(n, kind, Quiet::No);
        if (port == nullptr) {
            throw ConnectFailure("");
        }
        const std::string reply = protocol_.Identify(*port, SensorKindOf(kind)->streaming);
        switch (AcceptIdentity(n, kind, reply, Quiet::No)) {
            case Identity::WrongKindDeleted:
                return;
            case Identity::Refused:
                break;
            case Identity::Accepted:
                connected = true;
                Record("connect", std::to_string(n) + " " + record->deviceName +
                                      " connected on COM" + std::to_string(record->port) + " (" +
                                      WithoutLineEnd(reply) + ")");
                CompleteConnection(n, kind, false);
                break;
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
    // A connection by hand that failed may have ended the attempts of a lost entry.
    if (!connected && connectionChanged) {
        connectionChanged(n);
    }
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

void SensorLink::PrepareConnected(int n, DeviceKind kind, bool continued) {
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
            error = s_.logFiles.OpenFirstFile(n, record->deviceName, "_Humid", continued);
            if (error.empty() && n < 10) {
                error = s_.logFiles.OpenFirstFile(n + 1, record->deviceName, "_Temp", continued);
            }
        } else {
            error = s_.logFiles.OpenFirstFile(n, record->deviceName, "", continued);
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
            } else if (disconnectCamera) {
                disconnectCamera(n);
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
    const bool wasLost = e->lost;
    EndLoss(n);  // a lost sensor the user disconnects is not brought back
    switch (record->connectedKind) {
        case DeviceKind::Temperature:
            e->pollTimer.SetEnabled(false);
            s_.readings.SensorDisconnected(DeviceKind::Temperature);
            ResetHighLow(Tab::Temperature, SlotOf(n));
            break;
        case DeviceKind::Humidity:
            e->pollTimer.SetEnabled(false);
            s_.readings.SensorDisconnected(DeviceKind::Humidity);
            ResetHighLow(Tab::Humidity, SlotOf(n));
            break;
        case DeviceKind::Proximity:
        case DeviceKind::Water:
            s_.view.Commands(n).connectEnabled = true;
            s_.view.Commands(n).connectCaption = "Connect";
            if (EventSensors* sensors = EventSensorsOf(record->connectedKind)) {
                sensors->Reset(n, record->connectedKind);
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
            s_.readings.SensorDisconnected(DeviceKind::Combined);
            const auto [tempSlot, humidSlot] = ComboSlots(n);
            ResetHighLow(Tab::Temperature, tempSlot);
            ResetHighLow(Tab::Humidity, humidSlot);
            break;
        }
        case DeviceKind::Accelerometer:
        case DeviceKind::Distance:
            if (EventSensors* sensors = EventSensorsOf(record->connectedKind)) {
                sensors->Reset(n, record->connectedKind);
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
    if (const int partner = s_.model.ComboPartnerOf(n); partner != 0) {
        resetRow(partner);
    }
    if (wasLost) {
        // "LOST" goes with the attempts to bring the sensor back, on both rows of a combined one.
        for (int index : {n, s_.model.ComboPartnerOf(n)}) {
            if (index != 0) {
                s_.view.Row(index).status.clear();
                s_.view.Row(index).statusVisible = false;
            }
        }
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
        // Event sensors stop first: nothing a proximity sensor started (a walk-away lock, a
        // command) may happen once it is no longer connected.
        if (EventSensors* sensors = EventSensorsOf(record->connectedKind)) {
            sensors->Reset(n, record->connectedKind);
        }
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
    if (connectionChanged) {
        connectionChanged(n);
    }
}

void SensorLink::CloseAllPorts() {
    for (int n = 1; n <= 10; ++n) {
        entries_[n]->pollTimer.SetEnabled(false);
        CloseEntryPorts(n);
    }
}

// ---- A lost port ----

void SensorLink::PortLost(int n) {
    Entry* e = At(n);
    DeviceRecord* record = s_.model.Entry(n);
    if (!e || !record || e->lost || !record->IsConnected()) {
        return;  // already handled, or not a connected sensor (a closed port reports nothing)
    }
    const DeviceKind kind = record->connectedKind;
    e->lost = true;
    e->silenceJournaled = false;
    e->pollTimer.SetEnabled(false);
    if (Entry* half = At(s_.model.ComboPartnerOf(n))) {
        half->pollTimer.SetEnabled(false);
    }
    if (EventSensors* sensors = EventSensorsOf(kind)) {
        sensors->Reset(n, kind);
    }
    CloseEntryPorts(n);
    s_.model.MarkDisconnected(n);
    ShowLost(n);
    if (connectionChanged) {
        connectionChanged(n);
    }
    const std::string where = record->deviceName + " on COM" + std::to_string(record->port);
    Record("connect", std::to_string(n) + " " + record->deviceName +
                          " disconnected: port lost (COM" + std::to_string(record->port) +
                          "); trying again every " +
                          std::to_string(kReconnectInterval.count() / 1000) + " s");
    s_.logFiles.NoteConnection(n, "Sensor disconnected: port lost");
    if (s_.alerts) {
        // A snooze would hide whatever the sensor does once it is back.
        s_.alerts->SensorLost(n);
        if (const int partner = s_.model.ComboPartnerOf(n); partner != 0) {
            s_.alerts->SensorLost(partner);
        }
        s_.alerts->ConnectionAlert(n, kind, "Sensor " + where + " is no longer connected", false);
    }
    e->reconnectTimer.SetEnabled(true);
    s_.view.Changed();
}

void SensorLink::ShowLost(int n) {
    auto show = [this](int index) {
        SummaryRow& row = s_.view.Row(index);
        row.status = "LOST";
        row.statusColour = TextColour::Red;
        row.statusFontSize = 14;
        row.statusVisible = true;
        row.readingColour = TextColour::Grey;  // the last reading stays, marked as not current
        row.picture = "greydot.gif";
    };
    show(n);
    if (const int partner = s_.model.ComboPartnerOf(n); partner != 0) {
        show(partner);
    }
    // The entry can still be disconnected by hand, which ends the attempts to bring it back.
    EntryCommands& commands = s_.view.Commands(n);
    commands.connectCaption = "Disconnect";
    commands.connectEnabled = true;
}

void SensorLink::EndLoss(int n) {
    if (Entry* e = At(n)) {
        e->lost = false;
        e->reconnectTimer.SetEnabled(false);
    }
}

void SensorLink::TryReconnect(int n) {
    Entry* e = At(n);
    DeviceRecord* record = s_.model.Entry(n);
    if (!e || !record || !e->lost) {
        EndLoss(n);
        return;
    }
    const DeviceKind kind = KindFromDeviceType(record->deviceType);
    if (SensorKindOf(kind) == nullptr) {
        EndLoss(n);
        return;
    }
    // Each attempt is bounded: opening fails at once while the device is missing, and the
    // identification waits at most its three replies.
    SerialPort* port = OpenSensorPort(n, kind, Quiet::Yes);
    if (port == nullptr) {
        return;
    }
    const std::string reply = protocol_.Identify(*port, SensorKindOf(kind)->streaming);
    if (!e->lost) {
        return;  // the user took over while the sensor was asked
    }
    if (AcceptIdentity(n, kind, reply, Quiet::Yes) != Identity::Accepted) {
        CloseEntryPorts(n);
        if (!e->silenceJournaled) {
            e->silenceJournaled = true;
            Record("connect", std::to_string(n) + " " + record->deviceName + ": COM" +
                                  std::to_string(record->port) +
                                  " is back but the sensor does not identify itself yet (" +
                                  WithoutLineEnd(reply) + ")");
        }
        return;
    }
    EndLoss(n);
    try {
        for (int index : {n, s_.model.ComboPartnerOf(n)}) {
            if (index != 0) {
                s_.view.Row(index).readingColour = TextColour::Black;
                s_.view.Row(index).status.clear();
            }
        }
        CompleteConnection(n, kind, true);
    } catch (const std::exception& failure) {
        // The log directory went away meanwhile: stay lost and try again, the journal says why.
        Record("connect", std::to_string(n) + " " + record->deviceName +
                              " is back but its log file cannot be started: " + failure.what());
        CloseEntryPorts(n);
        s_.model.MarkDisconnected(n);
        ShowLost(n);
        e->lost = true;
        e->reconnectTimer.SetEnabled(true);
        return;
    }
    const std::string where = record->deviceName + " on COM" + std::to_string(record->port);
    Record("connect", std::to_string(n) + " " + record->deviceName + " connected again on COM" +
                          std::to_string(record->port) + " (" + WithoutLineEnd(reply) + ")");
    if (s_.alerts) {
        s_.alerts->ConnectionAlert(n, kind, "Sensor " + where + " is connected again", true);
    }
    EntryCommands& commands = s_.view.Commands(n);
    commands.connectCaption = "Disconnect";
    commands.connectEnabled = true;
    s_.view.Changed();
}

}  // namespace vigiltron
