#pragma once

#include <string>

#include "core/Dialogs.h"
#include "core/SystemActions.h"
#include "core/ViewModel.h"

namespace vigiltron {

// The tray and the small shell commands of the main window's menus: living as an icon in the
// notification area, opening the log and capture folders, and the data collector notice.
class ShellCommands {
public:
    struct Services {
        ViewModel& view;
        Dialogs& dialogs;
        SystemActions& system;
        std::string applicationFolder;
    };

    explicit ShellCommands(Services services);

    // "&Place in system tray": sets "Manager running in Systray", hides the main window and
    // shows "&Remove from Startup". Where the desktop has no notification area the program says
    // so and stays in its window; false then.
    bool mnuPlaceInSysTray_Click();
    // The tray menu's "Take out of system tray": the window comes back and the icon goes.
    void mnuTakeOutOfSysTray_Click();
    // The icon could not be put in the notification area: the window stays and the user is told.
    void TrayFailed(const std::string& error);

    // "&Open Log Files" and "&Open Camera Capture Files": the folder in the desktop's file
    // browser. A folder that cannot be opened is reported, never ignored.
    void OpenFolder(const std::string& directory);
    void mnuOpenCaptureFiles_Click();
    std::string CaptureFolder() const { return s_.applicationFolder + "/capturefiles"; }

    // "&Start Data Collector": only a notice for now.
    void mnuStartDataCollector_Click();

    // What the user is told when there is no notification area to go to.
    static constexpr const char* kNoTrayMessage =
        "This desktop has no notification area (system tray), so Vigiltron Manager stays in its "
        "window.";

private:
    Services s_;
};

}  // namespace vigiltron
