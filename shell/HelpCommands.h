#pragma once

#include <string>

#include "config/TextFileStore.h"
#include "core/Dialogs.h"
#include "core/ViewModel.h"

namespace vigiltron {

// The Help menu of the main window: the help text, the About box and the update notice.
class HelpCommands {
public:
    struct Services {
        ViewModel& view;
        Dialogs& dialogs;
        TextFileStore& files;
        std::string version;    // "0.1.0"
        std::string buildDate;  // "2024-05-17"
    };

    explicit HelpCommands(Services services);

    // The About box's title and text: "Vigiltron Manager, Build 0.1.0 (2024-05-17)".
    static std::string AboutTitle() { return "About Vigiltron Manager"; }
    std::string AboutText() const;

    // "&About Vigiltron Manager": shows the About box.
    void mnuAbout_Click();
    // "&Vigiltron Manager Help": loads `helpFile` into the help window, headed "General Help",
    // and shows it (again, and in front, when it is already open).
    void mnuHelp_Click();
    // "&Check for updates": only a notice.
    void mnuCheckForUpdates_Click();

    // The help text file (README.TXT in the program's resources folder); set by the program.
    std::string helpFile;

private:
    Services s_;
};

}  // namespace vigiltron
