#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/Clock.h"
#include "core/DeviceKind.h"
#include "core/DeviceModel.h"
#include "core/Dialogs.h"
#include "core/EventLoop.h"
#include "core/Journal.h"
#include "core/SerialPort.h"
#include "core/StreamChannel.h"
#include "sensors/SensorLink.h"

namespace vigiltron {

class LogFiles;
class ProximityActions;
class SettingsTree;
class ReadingPipeline;
class ViewModel;
struct Preferences;

// Whether a context-menu sensitivity entry is a whole number from 1 to 9 (blanks around it
// allowed); answers the digit, or 0 when it is not.
int SensitivityDigit(std::string_view entry);

// What the streaming sensors work with.
struct StreamServices {
    EventLoop& loop;
    const Clock& clock;
    Dialogs& dialogs;
    Journal& journal;  // dropped lines are journaled
    DeviceModel& model;
    ViewModel& view;
    Preferences& prefs;
    SettingsTree& settings;  // StartInBump, StartInProx and ProxSens of each device
    SensorLink& link;        // the entries' open ports
    ProximityActions& actions;
    LogFiles& logFiles;  // notes of mode changes and dropped lines
    ReadingPipeline& readings;
};

// What sets one streaming kind apart, as far as the handling they share needs to know.
struct StreamKind {
    DeviceKind kind;
    Tab tab;
    PortGroup group;
    bool DeviceRecord::*eventMode;  // the record's flag of the kind's event mode
    const char* restartLetter;      // first character of the command that restarts the stream
    const char* sensitivityNotSet;  // the menu's answer to an empty sensitivity entry
};

// What the accelerometer and the distance sensor share: each entry's receiving side on a
// StreamChannel, the sorting of its port's events, the handling of its lines one by one and in
// order, the steps of the commands and the guard that keeps one command at a time on a port.
// The kinds add what their lines, DSR changes and modes mean.
//
// A command's exchange and the port's events never interleave on one port: while a command waits
// for its sensor, that entry's receive events and DSR changes are held back and handled once the
// command is done, in the mode it set. A second command for the same entry meanwhile is skipped.
class StreamSensor {
public:
    // Pause between the characters of most commands.
    static constexpr Milliseconds kCommandPause{200};
    // Pause between the characters of the restart and "D+" test commands.
    static constexpr Milliseconds kRestartPause{150};
    // Pause after the "E" that starts the event mode at connection.
    static constexpr Milliseconds kEventModeSettle{300};
    // Longest wait for the reply of a command; the wait ends as soon as the reply's CR arrived.
    static constexpr Milliseconds kReplyWait{200};
    static constexpr Milliseconds kSensitivityReplyWait{1500};
    static constexpr Milliseconds kMenuSensitivityReplyWait{100};
    static constexpr int kModeAttempts = 15;
    static constexpr int kSensitivityAttempts = 3;
    static constexpr int kCalibrateAttempts = 4;
    static constexpr int kRestartAttempts = 4;

    StreamSensor(StreamServices services, StreamKind kind);
    virtual ~StreamSensor();
    StreamSensor(const StreamSensor&) = delete;
    StreamSensor& operator=(const StreamSensor&) = delete;

    // After entry n connected as this kind: installs the port's event handler and puts the sensor
    // into its stored mode.
    void Start(int n);
    // Before entry n is disconnected: its mode and everything received are forgotten.
    void Reset(int n);

    // The port's event handler.
    void OnPortEvent(int n, CommEvent event);
    // Bytes received from entry n's sensor, as the receive events hand them on.
    void Bytes(int n, std::string_view bytes);

    // At connection, with the stored event mode ("StartInBump"/"StartInProx" "1"): "E" and the
    // Summary shows the sensor waiting for its first event.
    void StartInEventMode(int n);
    // Puts entry n's sensor back into streaming: up to four restart commands until it answers.
    void RestartStreaming(int n);
    // The sensitivity button of a tab slot, and "Set Sensitivity" of the context menu.
    void TabSensitivity(int slot);
    void MenuSensitivity(int n);

    std::size_t PendingBytes(int n) const;
    std::size_t QueuedLines(int n) const;
    bool CommandUnderWay(int n) const;

protected:
    enum class Via { Button, Menu };
    struct PortGone : std::runtime_error {
        PortGone() : std::runtime_error("port closed") {}
    };

    // A command's hold on its entry's port (see the class comment). When the command is done,
    // input that arrived meanwhile is handed to the receive handler through the loop, as the
    // port's own event would have been.
    class Exchange {
    public:
        Exchange(StreamSensor& owner, int n);
        ~Exchange();
        Exchange(const Exchange&) = delete;
        Exchange& operator=(const Exchange&) = delete;
        bool Acquired() const { return acquired_; }

    private:
        StreamSensor& owner_;
        int n_;
        bool acquired_ = false;
    };

    // ---- What the kinds add ----
    // Puts a sensor that just connected into its stored mode.
    virtual void StartMode(int n) = 0;
    // One complete stream line, without its CR.
    virtual void HandleLine(int n, const std::string& line) = 0;
    // A DSR change.
    virtual void LineChanged(int n) = 0;
    // Text arrived while the sensor is in its event mode: only a confirmation.
    virtual void ShowConfirmation(int n) = 0;
    // Shows the mode the record holds: the slot's mode button and the entry's menu captions and
    // markers are made from it, and only from it.
    virtual void ShowMode(int n) = 0;
    // Sends the mode again after the sensitivity button left the sensor idle.
    virtual void RestoreMode(int n, SerialPort& port) = 0;
    // Starts the stream again after the context menu's sensitivity command.
    virtual void ResumeStream(int n, SerialPort& port) = 0;
    // Forgets what the kind remembers of entry n's readings (at start and reset).
    virtual void ForgetReadings(int /*n*/) {}

    // ---- Shared helpers ----
    bool InEventMode(int n) const;
    // Sets the record's mode and shows it.
    void SetEventMode(int n, bool on);
    SerialPort* PortOf(int n);
    SerialPort* OpenPort(int n);
    int SetupIndexInSlot(int slot) const;
    int SlotOf(int n) const;
    // The next receive event of entry n only empties the input.
    void RequestDrain(int n);

    // Command steps; each throws PortGone when the port closes under it.
    void Send(SerialPort& port, std::string_view text);
    void Wait(SerialPort& port, Milliseconds duration);
    std::string ReadReply(int n, SerialPort& port, Milliseconds upTo);
    void SendStop(SerialPort& port);
    void DrainInput(int n, SerialPort& port);
    void Restart(int n, SerialPort& port);
    // "E", a pause, CR, and time to settle in the event mode; false when the port went away.
    bool SendEventModeOn(SerialPort& port);

    // View helpers.
    void SetModeCaption(int n, const std::string& caption);
    void Note(int n, const std::string& note);
    void SaveDeviceSetting(int n, const std::string& key, const std::string& value);

    StreamServices s_;
    const StreamKind kind_;

private:
    struct Entry {
        bool active = false;            // started and not reset since
        bool handlerInstalled = false;  // our handler sits on the kind's port
        bool handling = false;          // lines are being handled (evaluation may yield)
        StreamChannel channel;
    };

    Entry* At(int n);
    const Entry* At(int n) const;
    void Received(int n);
    void HandleBacklog(int n);
    void ReportDropped(int n, std::size_t dropped);

    std::array<std::unique_ptr<Entry>, 11> entries_;  // index 0 unused
    // Posted callbacks check it, so none runs after this object is gone.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace vigiltron
