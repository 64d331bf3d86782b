#pragma once

#include <string>
#include <string_view>

#include "sensors/StreamSensor.h"

namespace vigiltron {

// The 2-axis accelerometer: tilt lines in its streaming mode, knocks on DSR in its bump mode;
// the mode buttons and menu, and calibration to 0.
class AccelerometerSensor : public StreamSensor {
public:
    explicit AccelerometerSensor(StreamServices services);

    void cmdSetToBump_Click(int slot);          // the slot's mode button
    void mnuPopUpSetToBinaryMode_Click(int n);  // "Set to Bump mode" / "Take out of Bump mode"

    void cmdCalibrate_Click(int slot);
    void mnuPopupCalibrate_Click(int n);  // "Calibrate to 0"
    void CalibrateOnConnection(int n);    // connection, CalibrateOnConnect "1"

protected:
    void StartMode(int n) override;
    void HandleLine(int n, const std::string& line) override;
    void LineChanged(int n) override;
    void ShowConfirmation(int n) override;
    void ShowMode(int n) override;
    void RestoreMode(int n, SerialPort& port) override;
    void ResumeStream(int n, SerialPort& port) override;

private:
    // Mode changes; the caller holds the entry's exchange.
    void ToBump(int n, SerialPort& port);
    void ToStreaming(int n, SerialPort& port, Via via);
    void Calibrate(int n);
};

}  // namespace vigiltron
