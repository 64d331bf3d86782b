#include "shell/ShellCommands.h"

#include <utility>

namespace vigiltron {

ShellCommands::ShellCommands(Services services) : s_(std::move(services)) {}

bool ShellCommands::mnuPlaceInSysTray_Click() {
    ViewModel& view = s_.view;
    if (!view.trayAvailable) {
        view.inTray = false;
        view.mainWindowHidden = false;
        view.Changed();
        s_.dialogs.ShowMessage(kNoTrayMessage, MessageIcon::Information);
        return false;
    }
    view.inTray = true;
    view.mainWindowHidden = true;
    view.removeFromStartupVisible = true;
    view.Changed();
    return true;
}

void ShellCommands::mnuTakeOutOfSysTray_Click() {
    ViewModel& view = s_.view;
    view.inTray = false;
    view.mainWindowHidden = false;
    view.Changed();
}

void ShellCommands::TrayFailed(const std::string& error) {
    ViewModel& view = s_.view;
    view.inTray = false;
    view.mainWindowHidden = false;
    view.Changed();
    s_.dialogs.ShowMessage("PlaceInSysTray Error: " + error);
}

void ShellCommands::OpenFolder(const std::string& directory) {
    std::string error;
    if (!s_.system.OpenWithAssociation(directory, error)) {
        s_.dialogs.ShowMessage("Could not open the folder " + directory + ": " + error,
                               MessageIcon::Exclamation);
    }
}

void ShellCommands::mnuOpenCaptureFiles_Click() {
    OpenFolder(CaptureFolder());
}

void ShellCommands::mnuStartDataCollector_Click() {
    s_.dialogs.ShowMessage("To be released in future version of the Vigiltron Manager software.",
                           MessageIcon::None, false,
                           "Un-attended Sensor Data Collecting and Internet Reporting Capability");
}

}  // namespace vigiltron
