#pragma once

#include <functional>
#include <string>

#include "app/AlarmHistoryCommands.h"
#include "core/CameraDevice.h"
#include "core/DeviceKind.h"
#include "core/ViewModel.h"
#include "reporting/HistorySeries.h"

namespace vigiltron {

// What the main window asks of the program. The window only forwards the user's commands; the
// program decides what they do. An empty function makes the command do nothing.
struct MainWindowCommands {
    std::function<void()> connectAll;
    // Connects or disconnects the entry at a setup index 1..10 (its connect command's toggle).
    std::function<void(int)> toggleConnect;
    // A right-button press on the Summary row of a setup index: the program fills the view
    // model's `summaryMenu`, which the window then shows.
    std::function<void(int)> summaryMenu;
    // The Summary pop-up menu's own items, for the entry at a setup index ("Connect This
    // Sensor" and "Connect All" are the commands above).
    std::function<void(int)> renameSensor;
    std::function<void()> setThresholds;
    std::function<void()> setProximityNotifications;
    std::function<void(int)> proximityModeMenu;  // "Set to Proximity mode" / "... Distance mode"
    std::function<void(int)> calibrateMenu;      // "Calibrate to 0"
    std::function<void(int)> bumpModeMenu;       // "Set to Bump mode" / "Take out of Bump mode"
    std::function<void(int)> sensitivityMenu;    // "Set Sensitivity"
    std::function<void(int)> showHistory;        // "History": opens the entry's chart
    // "Snooze 15 minutes", "Snooze 1 hour", "Snooze 8 hours", "Snooze until back to normal" and
    // "End snooze": the item chosen, for the entry at a setup index.
    std::function<void(int, SummaryMenuItem)> snoozeMenu;
    // What the chart of the entry at a setup index shows for a range; read again on each range.
    std::function<HistorySeries(int, HistoryRange)> readHistory;
    // The "Reset" command of a slot 1..4 on the Temperature or Humidity tab.
    std::function<void(Tab, int)> clearHighLow;
    // "Clear Local Log" of a slot's on-screen view; the log-directory commands.
    std::function<void(Tab, int)> clearLocalLog;
    // A button of an accelerometer or distance slot 1..4.
    std::function<void(Tab, int, SlotButton)> slotButton;
    std::function<void()> setLogFileDirectory;
    std::function<void()> openLogFiles;
    std::function<void()> openCaptureFiles;
    // File menu: "Alarm &History..." opens the window over these.
    AlarmHistoryCommands alarmHistory;

    // ---- Cameras (the Video tab and the Summary tab's camera) ----
    std::function<void()> savePicture;       // "Save Picture": a still from the Summary's camera
    std::function<void()> changeResolution;  // "Resolution Change": asks for the camera number
    // Copies camera `camera`'s (1..4) latest picture into `frame`; false while there is none.
    std::function<bool(int camera, CameraFrame& frame)> grabCameraFrame;
    // The tray: "&Place in system tray", the tray menu's "Take out of system tray", and the
    // report that the icon could not be put in the notification area.
    std::function<void()> placeInTray;
    std::function<void()> takeOutOfTray;
    std::function<void(const std::string&)> trayFailed;
    // Setup menu: the sensor setup window, the add window, the e-mail, paging and
    // remote-monitoring setup windows, and the data collector notice. "&Proximity Events" is
    // `setProximityNotifications`.
    std::function<void()> openSetupWindow;
    std::function<void()> addDevice;
    std::function<void()> openEmailSetup;
    std::function<void()> openPagingSetup;
    std::function<void()> openRemoteMonitoring;
    std::function<void()> startDataCollector;
    // The File menu's "Exit": the program asks and closes the window itself.
    std::function<void()> exitRequested;
    // File menu: "Save Preferences to file", "Place in System Startup" (ticked or not), the
    // removal from the start-up list, and the settings clean-out.
    std::function<void()> savePreferencesToFile;
    std::function<void(bool)> placeInStartup;
    std::function<void()> removeFromStartup;
    std::function<void()> registryCleanOut;
    // Help menu: "&Vigiltron Manager Help" (the program fills the view model's `help`, which the
    // window then shows), "&Check for updates" and "&About Vigiltron Manager".
    std::function<void()> showHelp;
    std::function<void()> checkForUpdates;
    std::function<void()> about;
};

}  // namespace vigiltron
