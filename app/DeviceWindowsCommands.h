#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vigiltron {

// What the add window ("Add Device (Sensor or Camera)") and the scan list ("Build Sensor List")
// ask of the program. The windows only forward the user's input; the program keeps the pending
// addition in the view model and decides what each command does. An empty function does nothing.
struct DeviceWindowsCommands {
    // Opens the add window (the Sensors menu's command); the program may offer the port scan.
    std::function<void()> openAddWindow;

    // ---- The add window ----
    // A type chosen in the type list, or "<drop down to select>".
    std::function<void(const std::string&)> selectType;
    // The name box as the user edits it.
    std::function<void(const std::string&)> setName;
    // The COM port chooser, 1..256.
    std::function<void(int)> setComPort;
    // "Start sensor in 'Bump' mode", "Calibrate sensor upon connection" (accelerometers) and
    // "Start sensor in proximity mode" (distance sensors).
    std::function<void(bool)> setStartInBump;
    std::function<void(bool)> setCalibrateOnConnect;
    std::function<void(bool)> setStartInProx;
    // The capture device chosen for a camera: its place in the driver list.
    std::function<void(int)> selectDriver;
    std::function<void()> identify;
    // "Scan Ports...": shows the scan list without scanning yet.
    std::function<void()> openScanList;
    std::function<void()> ok;
    // "Cancel" and closing the window.
    std::function<void()> cancel;

    // ---- The scan list ----
    // "Scan Com1 - Com256" ticked or not.
    std::function<void(bool)> setScanAllPorts;
    std::function<void()> scan;
    std::function<void()> stopScan;
    // "Add selected to Sensor Setup" with the selected lines, in list order.
    std::function<void(const std::vector<std::string>&)> addSelected;
    // "Close" and closing the window.
    std::function<void()> closeScanList;
};

}  // namespace vigiltron
