#pragma once

#include <optional>
#include <string>

namespace vigiltron {

enum class MessageIcon { None, Information, Exclamation, Critical, Question };

// The title every message box of the program carries unless a procedure gives its own.
inline constexpr const char* kAppTitle = "Vigiltron Manager";

// Everything the engine says to or asks of the user. A message that only informs never suspends
// the engine; questions and prompts return the user's answer.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual void ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::None,
                             bool systemModal = false, const std::string& title = kAppTitle) = 0;

    // Yes/No question; `defaultYes` names the default button (the answer an unattended run takes).
    virtual bool AskYesNo(const std::string& text, const std::string& title = kAppTitle,
                          bool defaultYes = true) = 0;

    // Input prompt; nothing when the user cancels.
    virtual std::optional<std::string> AskText(const std::string& prompt,
                                               const std::string& title = kAppTitle,
                                               const std::string& initial = "") = 0;

    // Folder choice; nothing when the user cancels.
    virtual std::optional<std::string> ChooseDirectory(const std::string& caption,
                                                       const std::string& start = "") = 0;

    // Choice of one existing file; nothing when the user cancels. `filter` is written as pairs
    // of description and patterns separated by "|": "All files (*.*)|*.*|Batch Files
    // (*.bat)|*.bat". Without a file chooser (the default) the choice counts as cancelled.
    virtual std::optional<std::string> ChooseFile(const std::string& title,
                                                  const std::string& filter) {
        (void)title;
        (void)filter;
        return std::nullopt;
    }

    // Choice of a file to write, proposed as `suggested`; it may name an existing file (the
    // caller asks before replacing it). `filter` as for ChooseFile. Nothing when the user
    // cancels; without a file chooser (the default) the choice counts as cancelled.
    virtual std::optional<std::string> ChooseSaveFile(const std::string& title,
                                                      const std::string& filter,
                                                      const std::string& suggested) {
        (void)title;
        (void)filter;
        (void)suggested;
        return std::nullopt;
    }
};

}  // namespace vigiltron
