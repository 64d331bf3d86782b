#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/DeviceKind.h"
#include "core/EventLoop.h"
#include "core/SerialPort.h"
#include "core/StreamChannel.h"
#include "core/ViewModel.h"
#include "sensors/AccelerometerSensor.h"
#include "sensors/DistanceSensor.h"
#include "sensors/EventSensors.h"
#include "sensors/StreamSensor.h"

namespace vigiltron {

// The 2-axis accelerometer and the distance sensor. Each works in a streaming mode (tilt lines,
// distance lines) or an event mode (bump, proximity on DSR). This is the program's one handle on
// both: it hands each entry's port events, bytes and commands to the sensor of its kind.
//
// Streamed bytes may arrive in any pieces: every complete CR-terminated line is handled, in
// order, however many come at once; a line split across reads is put together, and junk or
// floods stay within fixed bounds (lines are dropped, oldest first and reported, only when a
// sensor outruns their handling by StreamChannel::kMaxBacklogBytes).
//
// A command's exchange and the port's events never interleave on one port: while a command waits
// for its sensor, that entry's receive events and DSR changes are held back and handled once the
// command is done, in the mode it set. A second command for the same entry meanwhile is skipped.
// Create it after the SensorLink whose ports it uses (it must be destroyed first).
class StreamingSensors : public EventSensors {
public:
    static constexpr Milliseconds kCommandPause = StreamSensor::kCommandPause;
    static constexpr Milliseconds kRestartPause = StreamSensor::kRestartPause;
    static constexpr Milliseconds kEventModeSettle = StreamSensor::kEventModeSettle;
    static constexpr Milliseconds kReplyWait = StreamSensor::kReplyWait;
    static constexpr Milliseconds kSensitivityReplyWait = StreamSensor::kSensitivityReplyWait;
    static constexpr Milliseconds kMenuSensitivityReplyWait =
        StreamSensor::kMenuSensitivityReplyWait;
    static constexpr int kModeAttempts = StreamSensor::kModeAttempts;
    static constexpr int kSensitivityAttempts = StreamSensor::kSensitivityAttempts;
    static constexpr int kCalibrateAttempts = StreamSensor::kCalibrateAttempts;
    static constexpr int kRestartAttempts = StreamSensor::kRestartAttempts;
    // Bytes of complete lines waiting to be handled per entry; beyond it the oldest give way.
    static constexpr std::size_t kMaxBacklogBytes = StreamChannel::kMaxBacklogBytes;

    using Services = StreamServices;

    explicit StreamingSensors(Services services);
    StreamingSensors(const StreamingSensors&) = delete;
    StreamingSensors& operator=(const StreamingSensors&) = delete;

    // ---- Connection ----
    // After entry n connected as an accelerometer or distance sensor: installs the port's event
    // handler and puts the sensor into its stored mode (and calibrates when asked to).
    void Start(int n, DeviceKind kind) override;
    // Before entry n is disconnected: its mode state and partial lines are forgotten.
    void Reset(int n, DeviceKind kind) override;

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

    // A button of an accelerometer or distance slot, as the window forwards it.
    void SlotButton_Click(Tab tab, int slot, SlotButton button);

    // ---- State ----
    // The last distance text shown for entry n ("No Obj" after a "No Object" line).
    const std::string& LastDistanceText(int n) const;
    // "1" when the last reading of a distance slot changed between an object and none.
    const std::string& ObjectChanged(int slot) const;
    // Bytes of entry n's stream held back waiting for their line's end (bounded whatever the
    // sensor sends), and lines waiting to be handled (none once the handling has caught up).
    std::size_t PendingBytes(int n) const;
    std::size_t QueuedLines(int n) const;
    bool CommandUnderWay(int n) const;

private:
    StreamSensor* OfKind(DeviceKind kind);

    Services s_;
    AccelerometerSensor accelerometer_;
    DistanceSensor distance_;
};

}  // namespace vigiltron
