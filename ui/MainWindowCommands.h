#pragma once

#include <functional>

#include "core/DeviceKind.h"
#include "core/ViewModel.h"

namespace vigiltron {

// What the main window asks of the program. The window only forwards the user's commands; the
// program decides what they do. An empty function makes the command do nothing.
struct MainWindowCommands {
    std::function<void()> connectAll;
    // Connects or disconnects the entry at a setup index 1..10 (its connect command's toggle).
    std::function<void(int)> toggleConnect;
    // The "Reset" command of a slot 1..4 on the Temperature or Humidity tab.
    std::function<void(Tab, int)> clearHighLow;
    // "Clear Local Log" of a slot's on-screen view; the log-directory commands.
    std::function<void(Tab, int)> clearLocalLog;
    // A button of an accelerometer or distance slot 1..4.
    std::function<void(Tab, int, SlotButton)> slotButton;
    std::function<void()> setLogFileDirectory;
    std::function<void()> openLogFiles;
    // The File menu's "Exit": the program asks and closes the window itself.
    std::function<void()> exitRequested;
    // File menu: "Save Preferences to file", "Place in System Startup" (ticked or not), the
    // removal from the start-up list, and the settings clean-out.
    std::function<void()> savePreferencesToFile;
    std::function<void(bool)> placeInStartup;
    std::function<void()> removeFromStartup;
    std::function<void()> registryCleanOut;
};

}  // namespace vigiltron
