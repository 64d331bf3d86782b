#pragma once

#include <array>
#include <string>
#include <vector>

namespace vigiltron {

// What the type chooser shows until a type is chosen.
inline constexpr const char* kDropDownToSelect = "<drop down to select>";

// What the add window, the scan list and the setup window's device rows show, as plain data.
struct DeviceSetupView {
    // ---- The add window ("Add Device (Sensor or Camera)") ----
    bool addWindowVisible = false;
    // The device types offered, in the order the window lists them (filled when it opens).
    std::vector<std::string> typeList;
    std::string selectedType = kDropDownToSelect;
    // The setup index the device will take; 11 when none is free.
    int targetIndex = 0;
    std::string nameBox;
    bool nameBoxFocused = false;  // set when the window asks the user to fill the name in
    // Sensors: the COM port chooser.
    bool comPortVisible = false;
    int comPort = 1;
    // Accelerometer options ("Start sensor in 'Bump' mode", "Calibrate sensor upon connection")
    // and the distance option ("Start sensor in proximity mode").
    bool bumpOptionsVisible = false;
    bool startInBump = false;
    bool calibrateOnConnect = false;
    bool proximityOptionVisible = false;
    bool startInProx = false;
    // Cameras: the capture devices the camera back-end offers, and the chosen one (-1: none).
    bool driverListVisible = false;
    std::vector<std::string> cameraDrivers;
    int selectedDriver = -1;

    // ---- The scan list ("Build Sensor List") ----
    bool scanListVisible = false;
    bool scanAllPorts = false;  // "Scan Com1 - Com256"
    std::string scanRangeCaption = "(Com1 - Com16 only)";
    std::vector<std::string> scanLines;
    // The port scan is under way: its progress over the ports of its range, and a "Stop" that
    // ends it after the port being queried.
    bool scanning = false;
    int scanPortsDone = 0;
    int scanPortsTotal = 0;
    // A scan, identify or serial-number lookup is under way (hourglass pointer).
    bool busy = false;

    // ---- The setup window's device rows, per setup index 1..10 (0 unused) ----
    struct EntryRow {
        bool visible = false;  // the entry's controls are shown
        std::string deviceType;
        std::string deviceName;
        std::string port;            // the COM number box's text; empty for cameras
        bool comBoxVisible = false;  // shown by a double click on the device type
        bool tabLogging = false;     // "Tab logging" option
        bool fileLogging = false;    // "File logging" option
    };
    std::array<EntryRow, 11> entries{};
};

}  // namespace vigiltron
