#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/DeviceKind.h"
#include "core/Dialogs.h"
#include "core/EventLoop.h"
#include "core/Journal.h"
#include "core/SensorConnections.h"
#include "core/SensorKinds.h"
#include "core/SensorProtocol.h"
#include "core/SerialPort.h"
#include "core/Timer.h"
#include "core/ViewModel.h"

namespace vigiltron {

class AlertDispatcher;
class EventSensors;
class ReadingPipeline;
struct Preferences;
class DeviceModel;
class LogFiles;

// Connecting, disconnecting and polling of the configured sensors: ports, identification,
// polling timers and the Summary rows, highest and lowest values of the polled kinds.
class SensorLink : public SensorConnections {
public:
    struct Services {
        EventLoop& loop;
        Dialogs& dialogs;
        Journal& journal;
        SerialPortFactory& ports;
        DeviceModel& model;
        ViewModel& view;
        // The reading interval and its unit, the temperature unit; start-up may repair a blank
        // interval to the default.
        Preferences& prefs;
        // Where every polled reading goes.
        ReadingPipeline& readings;
        LogFiles& logFiles;
        // Adds an entry to the error journal of the preferences file (code, value).
        std::function<void(const std::string&, const std::string&)> errorJournal;
        // Deletes entry n exactly as the user's delete command does.
        std::function<void(int)> deleteEntry;
        // Where "no longer connected" and "connected again" go; null: nowhere but the screen.
        AlertDispatcher* alerts = nullptr;
    };

    // A lost port is tried again this often until its device is back.
    static constexpr Milliseconds kReconnectInterval{5000};

    explicit SensorLink(Services services);
    ~SensorLink() override;

    // Polling.
    void StartPolling(int n);
    void ApplyReadingInterval() override;
    void Timer1_Timer(int n);
    void ClearHighLow(Tab tab, int slot);
    void ConvertHighLow(bool toFahrenheit);

    // Connecting and disconnecting.
    void ConnectSensor(int n);
    void cmdConnectSensor_Click(int n);
    void cmdConnectAll_Click() override;
    void DisconnectSensor(int n);
    void cmdDisconnectSensor_Click(int n) override;
    // Shut-down: closes every open port of every entry.
    void CloseAllPorts() override;
    // The port of a connected entry went away (unplugged, I/O error, the far end closed): the
    // entry is shown as lost, alarms go out, and the port is tried again until it is back.
    void PortLost(int n);
    // Shows a configured entry in its tab slot(s) with its name as caption.
    void ShowOnTab(int n) override;

    // The event-driven kinds: proximity and water, accelerometer and distance. Set once by the
    // program before anything connects.
    void AttachEventSensors(EventSensors& lineState, EventSensors& streaming);
    // Cameras have no port: connecting and disconnecting entry n goes to the camera rules.
    std::function<void(int n)> connectCamera;
    std::function<void(int n)> disconnectCamera;

    // Whether entry n's sensor port is open (the temperature half of a combined sensor reads
    // through its lead's).
    bool IsPortOpen(int n);
    // Whether the proximity or distance sensor at n shows presence now (its DSR line is high).
    bool PresenceLine(int n);
    // The timer that drives entry n's readings or polls: the polling timer, the water poll.
    Timer* ReadingTimer(int n, DeviceKind kind);
    // Whether entry n's port was lost and is being tried again.
    bool IsLost(int n) const { return n >= 1 && n <= 10 && entries_[n] && entries_[n]->lost; }
    // Told when entry n (the lead of a combined sensor) connected, was lost or was disconnected.
    std::function<void(int n)> connectionChanged;

    SerialPort* Port(int n, PortGroup group);
    Timer* PollingTimer(int n);
    int MinuteTarget(int n) const;
    int MinuteCounter(int n) const;

private:
    struct Entry {
        explicit Entry(EventLoop& loop) : pollTimer(loop), reconnectTimer(loop) {}
        std::array<std::unique_ptr<SerialPort>, kPortGroups> ports;
        Timer pollTimer;
        // Runs while the entry's port is lost: each tick tries to bring the sensor back.
        Timer reconnectTimer;
        bool lost = false;
        bool silenceJournaled = false;  // "not answering yet" is journaled once per loss
        int minuteTarget = 0;
        int minuteCounter = 1;
        bool firstReadingPending = false;
        // Set while a tick's exchange is under way: a reading yields to other events, and a second
        // tick of the same entry must not interleave its commands on the same port.
        bool readingUnderWay = false;
        int pendingConnect = 0;  // "Connect All": COM number to connect, 0 = not to be connected
    };

    // The steps of a connection. A reconnection after a lost port runs them quietly: no message
    // every 5 seconds while the device is away; a device that is back but does not identify
    // itself is journaled once.
    enum class Quiet { No, Yes };
    enum class Identity { Accepted, Refused, WrongKindDeleted };
    SerialPort* OpenSensorPort(int n, DeviceKind kind, Quiet quiet);
    Identity AcceptIdentity(int n, DeviceKind kind, const std::string& reply, Quiet quiet);
    void CompleteConnection(int n, DeviceKind kind, bool continued);
    void Tell(Quiet quiet, const std::string& text, MessageIcon icon = MessageIcon::None);

    void TryReconnect(int n);
    void ShowLost(int n);
    void EndLoss(int n);

    Entry* At(int n);
    SerialPort& EnsurePort(int n, PortGroup group);
    // One exchange with a polled sensor: its readings (two for a combined sensor), or none when
    // it gave no value.
    std::vector<Reading> ReadOnce(int n, DeviceKind kind);
    TemperatureUnit Unit() const;
    void PrepareConnected(int n, DeviceKind kind, bool continued);
    void CloseEntryPorts(int n);
    void ResetHighLow(Tab tab, int slot);
    std::pair<int, int> ComboSlots(int n) const;
    int SlotOf(int n) const;
    void Record(const std::string& category, const std::string& text);

    // The event sensors of a kind, null before they are attached or for polled kinds.
    EventSensors* EventSensorsOf(DeviceKind kind) const;

    Services s_;
    SensorProtocol protocol_;
    EventSensors* lineState_ = nullptr;
    EventSensors* streaming_ = nullptr;
    std::array<std::unique_ptr<Entry>, 11> entries_;
};

}  // namespace vigiltron
