#pragma once

#include <array>
#include <string>

#include "sensors/StreamSensor.h"

namespace vigiltron {

// The distance sensor: distance lines in its streaming mode, presence on DSR in its proximity
// mode (which drives the proximity actions); the mode buttons and menu, and the "D+<CR>" test.
class DistanceSensor : public StreamSensor {
public:
    explicit DistanceSensor(StreamServices services);

    void cmdSetToProximityMode_Click(int slot);  // the slot's mode button
    void mnuPopupSetProximityMode_Click(int n);  // "Set to Proximity mode" / "... Distance Mode"
    // The "D+<CR>" test button: restarts the stream, discards the reply.
    void cmdDPlus_Click(int slot);

    // The last distance text shown for entry n ("No Obj" after a "No Object" line).
    const std::string& LastDistanceText(int n) const;
    // "1" when the last reading of a slot changed between an object and none.
    const std::string& ObjectChanged(int slot) const;

protected:
    void StartMode(int n) override;
    void HandleLine(int n, const std::string& line) override;
    void LineChanged(int n) override;
    void ShowConfirmation(int n) override;
    void ShowMode(int n) override;
    void RestoreMode(int n, SerialPort& port) override;
    void ResumeStream(int n, SerialPort& port) override;
    void ForgetReadings(int n) override;

private:
    // Mode changes; the caller holds the entry's exchange.
    void ToStreaming(int n, SerialPort& port);
    void ToProximity(int n, SerialPort& port, Via via);
    // A mode command found the port closed: the row offers to connect again.
    void ShowNotConnected(int n);
    void ShowModeSet(int n);

    std::array<std::string, 11> lastDistanceText_;  // index 0 unused
    std::array<std::string, 5> objectChanged_;      // slots 1..4
};

}  // namespace vigiltron
