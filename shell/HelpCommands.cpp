#include "shell/HelpCommands.h"

#include <exception>

namespace vigiltron {

HelpCommands::HelpCommands(Services services) : s_(std::move(services)) {}

std::string HelpCommands::AboutText() const {
    return "Vigiltron Manager, Build " + s_.version + " (" + s_.buildDate + ")";
}

void HelpCommands::mnuAbout_Click() {
    s_.dialogs.ShowMessage(AboutText(), MessageIcon::Information, false, AboutTitle());
}

void HelpCommands::mnuHelp_Click() {
    std::string error;
    try {
        const TextFileStore::ReadResult read = s_.files.ReadFile(helpFile);
        switch (read.status) {
            case TextFileStore::ReadStatus::Ok: {
                HelpWindowView& help = s_.view.help;
                help.heading = "General Help";
                help.text = read.contents;
                help.visible = true;
                ++help.raiseCount;  // brought to the front even when it is already open
                s_.view.Changed();
                return;
            }
            case TextFileStore::ReadStatus::Missing:
                error = "File not found: " + helpFile;
                break;
            case TextFileStore::ReadStatus::Failed:
                error = read.error;
                break;
        }
    } catch (const std::exception& e) {
        error = e.what();
    }
    s_.dialogs.ShowMessage("Couldn't find or run help file. " + error);
}

void HelpCommands::mnuCheckForUpdates_Click() {
    s_.dialogs.ShowMessage("Internet update not yet available.");
}

}  // namespace vigiltron
