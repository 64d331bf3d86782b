#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/Clock.h"
#include "core/DeviceKind.h"
#include "core/Dialogs.h"
#include "core/EventLoop.h"
#include "core/Journal.h"
#include "core/LineFramer.h"
#include "core/SerialPort.h"

namespace vigiltron {

class DeviceModel;
class LogFiles;
class ProximityActions;
class SensorLink;
class SettingsTree;
class ThresholdEvaluator;
class ViewModel;
struct Preferences;

// An accelerometer stream line cut into its two axis texts: X is the line up to and including
// its first blank, Y the rest after that blank. Without a blank X is empty and Y the whole line.
struct TiltTexts {
    std::string x;
    std::string y;
};
TiltTexts SplitTilt(std::string_view line);

// Whether a context-menu sensitivity entry is a whole number from 1 to 9 (blanks around it
// allowed); answers the digit, or 0 when it is not.
int SensitivityDigit(std::string_view entry);

// The 2-axis accelerometer and the distance sensor. Each works in a streaming mode (tilt lines,
// distance lines) or an event mode (bump, proximity on DSR). This class handles their port
// events, cuts the streamed bytes into lines and hands them to threshold evaluation and the logs,
// and owns the mode, sensitivity and calibration commands.
//
// Streamed bytes may arrive in any pieces: every complete CR-terminated line is handled, a line
// split across reads is put together, and junk or floods stay within fixed bounds.
//
// A command's exchange and the port's events never interleave on one port: while a command waits
// for its sensor, that entry's receive events and DSR changes are held back and handled once the
// command is done, in the mode it set. A second command for the same entry meanwhile is skipped.
// Create it after the SensorLink whose ports it uses (it must be destroyed first).
class StreamingSensors {
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
    // Complete lines waiting to be handled per entry; older ones give way in a flood.
    static constexpr std::size_t kMaxQueuedLines = LineFramer::kMaxLines;

    struct Services {
        EventLoop& loop;
        const Clock& clock;
        Dialogs& dialogs;
        Journal& journal;  // dropped lines and lost ports are journaled
        DeviceModel& model;
        ViewModel& view;
        Preferences& prefs;
        SettingsTree& settings;  // StartInBump, StartInProx and ProxSens of each device
        SensorLink& link;        // the entries' open ports
        ThresholdEvaluator& evaluator;
        ProximityActions& actions;
        LogFiles& logFiles;
    };

    explicit StreamingSensors(Services services);
    ~StreamingSensors();
    StreamingSensors(const StreamingSensors&) = delete;
    StreamingSensors& operator=(const StreamingSensors&) = delete;

    // ---- Connection ----
    // After entry n connected as an accelerometer or distance sensor: installs the port's event
    // handler and puts the sensor into its stored mode (and calibrates when asked to).
    void Start(int n, DeviceKind kind);
    // Before entry n is disconnected: its mode state and partial lines are forgotten.
    void Reset(int n, DeviceKind kind);

    // ---- Port events, given the setup index ----
    void MSCommA_OnComm(int n, CommEvent event);
    void MSCommD_OnComm(int n, CommEvent event);

    // Bytes received from entry n's sensor, as the receive events hand them on.
    void AccelerometerBytes(int n, std::string_view bytes);
    void DistanceBytes(int n, std::string_view bytes);

    // ---- Accelerometer mode ----
    void cmdSetToBump_Click(int slot);          // the accelerometer slot's mode button
    void mnuPopUpSetToBinaryMode_Click(int n);  // "Set to Bump mode" / "Take out of Bump mode"
    void StartInBumpMode(int n);                // connection, StartInBump "1"

    // ---- Distance mode ----
    void cmdSetToProximityMode_Click(int slot);  // the distance slot's mode button
    void mnuPopupSetProximityMode_Click(int n);  // "Set to Proximity mode" / "... Distance Mode"
    void StartInProximityMode(int n);            // connection, StartInProx "1"

    // ---- Sensitivity ----
    void cmdSetBumpSens_Click(int slot);       // accelerometer slot
    void cmdSensD_Click(int slot);             // distance slot
    void mnuPopupSetSensitivity_Click(int n);  // "Set Sensitivity"

    // ---- Calibration (accelerometer) ----
    void cmdCalibrate_Click(int slot);
    void mnuPopupCalibrate_Click(int n);  // "Calibrate to 0"
    void CalibrateOnConnection(int n);    // connection, CalibrateOnConnect "1"

    // Puts entry n's sensor back into streaming: up to four "a+" (accelerometer) or "D+"
    // (distance) commands until the sensor answers.
    void RestartStreaming(int n);

    // The "D+<CR>" test button of a distance slot: restarts the stream, discards the reply.
    void cmdDPlus_Click(int slot);

    // ---- State ----
    // The last distance text shown for entry n ("No Obj" after a "No Object" line).
    const std::string& LastDistanceText(int n) const;
    // "1" when the last reading of a distance slot changed between an object and none.
    const std::string& ObjectChanged(int slot) const;
    // Bytes of entry n's stream held back waiting for their line's end, and lines waiting to be
    // handled: both stay bounded whatever the sensor sends.
    std::size_t PendingBytes(int n) const;
    std::size_t QueuedLines(int n) const;
    bool CommandUnderWay(int n) const;

private:
    // The two port handlers differ only in what a DSR change means.
    void OnPortEvent(int n, CommEvent event, DeviceKind kind);
    // "E", a pause, CR, and time to settle in the event mode; false when the port went away.
    bool SendEventModeOn(SerialPort& port);
    struct Entry;
    class Exchange;
    enum class Via { Button, Menu, Connection };
    struct PortGone : std::runtime_error {
        PortGone() : std::runtime_error("port closed") {}
    };

    Entry* At(int n);
    const Entry* At(int n) const;
    SerialPort* PortOf(int n, DeviceKind kind);
    SerialPort* OpenPort(int n, DeviceKind kind);
    int SetupIndexInSlot(Tab tab, int slot) const;
    int SlotOf(int n, Tab tab) const;

    void Received(int n, DeviceKind kind);
    void Ingest(int n, DeviceKind kind, std::string_view bytes);
    void AccelerometerLine(int n, const std::string& line);
    void DistanceLine(int n, const std::string& line);
    void BumpLineChanged(int n);
    void DistanceLineChanged(int n);
    void PortLost(int n);

    // Command steps; each throws PortGone when the port closes under it.
    void Send(SerialPort& port, std::string_view text);
    void Wait(SerialPort& port, Milliseconds duration);
    std::string ReadReply(int n, SerialPort& port, Milliseconds upTo);
    void SendStop(SerialPort& port);
    void DrainInput(int n, SerialPort& port);

    // Mode changes; the caller holds the entry's exchange.
    void AccelerometerToBump(int n, SerialPort& port);
    void AccelerometerToStreaming(int n, SerialPort& port, Via via);
    void DistanceToStreaming(int n, SerialPort& port);
    void DistanceToProximity(int n, SerialPort& port, Via via);
    void Restart(int n, SerialPort& port, DeviceKind kind);
    void Calibrate(int n);
    void TabSensitivity(int slot, DeviceKind kind);

    // View helpers.
    void SetModeCaption(int n, Tab tab, const std::string& caption);
    void Note(int n, Tab tab, const std::string& note);
    void SaveDeviceSetting(int n, const std::string& key, const std::string& value);
    void ShowStreamingMode(int n, DeviceKind kind);

    Services s_;
    std::array<std::unique_ptr<Entry>, 11> entries_;  // index 0 unused
    std::array<std::string, 5> objectChanged_;        // distance slots 1..4
    // Posted callbacks check it, so none runs after this object is gone.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace vigiltron
