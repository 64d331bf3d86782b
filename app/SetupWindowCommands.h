#pragma once

#include <functional>
#include <string>

#include "alerts/ProximityActions.h"

namespace vigiltron {

// What the sensor setup window asks of the program. The window only forwards the user's actions;
// the preference rules decide what they do and the window shows the outcome from the view model
// and the preferences. An empty function makes the command do nothing.
//
// Boxes and switches are named by their stored key ("TempMax", "chkEmailAlert6", ...).
struct SetupWindowCommands {
    // ---- Boxes and switches of the preference pages ----
    // The text of a box changed (ChangeText).
    std::function<void(const std::string& key, const std::string& text)> changeText;
    // The user moved the focus out of a box (LeaveBox).
    std::function<void(const std::string& key)> leaveBox;
    // A check box or option was ticked or unticked (Tick); a refused tick is shown undone.
    std::function<void(const std::string& key, bool ticked)> tick;
    // "Celsius" (true) or "Fahrenheit" (false) (ChooseTemperatureUnit).
    std::function<void(bool celsius)> chooseTemperatureUnit;

    // ---- Intervals ----
    std::function<void()> applyIntervals;                  // "Set" (cmdSet_Click)
    std::function<void(bool seconds)> chooseIntervalUnit;  // "Minute(s)" / "Seconds"
    std::function<void(int value)> sliderScroll;           // the slider is being dragged
    std::function<void(int value)> sliderChange;           // the slider was let go or stepped
    std::function<void()> binaryIntervalClick;             // a click in the binary interval box
    std::function<void()> readingIntervalClick;            // a click in the reading interval box

    // ---- Logging ----
    // The "Tab logging" / "File logging" boxes of a setup index 1..10.
    std::function<void(int n, bool on)> setTabLogging;
    std::function<void(int n, bool on)> setFileLogging;
    // A click in the maximum log file size box (CheckLogSize).
    std::function<void()> checkLogSize;

    // ---- Proximity events ----
    std::function<void(ProximityActions::Action)> chooseProximityAction;
    // "Browse..." of the walk-away or walk-up command (BrowseProximityCommand).
    std::function<void(ProximityActions::Direction)> browseProximityCommand;

    // ---- Device rows, per setup index 1..10 ----
    std::function<void(int n)> toggleConnect;              // "Connect"/"Disconnect"
    std::function<void(int n)> toggleComBox;               // double click on the device type
    std::function<void(int n, int comNumber)> moveDevice;  // the COM number box was left
    std::function<void(int n)> renameDevice;               // double click on the device name
    std::function<void(int n)> deleteDevice;               // "X"
    std::function<void()> connectAll;                      // "Connect All"

    // ---- Start-up ----
    std::function<void(bool ticked)> placeInStartup;  // "Place in System Startup"
    std::function<void(bool on)> placeInTray;         // "Manager running in Systray"

    // ---- Other windows ----
    std::function<void()> addDevice;  // "Add Device...": opens the add window
    std::function<void()> openEmailSetup;
    std::function<void()> openPagingSetup;
    std::function<void()> openRemoteMonitoring;

    // ---- Leaving the window ----
    // "OK" (cmdOK_Click): saves everything; true when the window may close.
    std::function<bool()> ok;
    // Hides the window (the program clears its visible flag).
    std::function<void()> close;
};

}  // namespace vigiltron
