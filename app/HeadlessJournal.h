#pragma once

#include <ostream>

#include "core/Clock.h"
#include "core/Dialogs.h"
#include "core/Journal.h"

namespace vigiltron {

// Prints every journal entry as one line, stamped with the (possibly simulated) local time:
// "2026-12-08 09:00:05.020 reading: 3 Server room 72.5 F".
class StreamJournal : public Journal {
public:
    StreamJournal(std::ostream& out, const Clock& clock) : out_(out), clock_(clock) {}
    void Record(const std::string& category, const std::string& text) override;

private:
    std::ostream& out_;
    const Clock& clock_;
};

// Dialogs for a run without a window: every message, question and prompt becomes a journal line;
// questions take their default button and prompts are cancelled, so nothing ever waits.
class HeadlessDialogs : public Dialogs {
public:
    explicit HeadlessDialogs(Journal& journal) : journal_(journal) {}

    void ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::None,
                     bool systemModal = false, const std::string& title = kAppTitle) override;
    bool AskYesNo(const std::string& text, const std::string& title = kAppTitle,
                  bool defaultYes = true) override;
    std::optional<std::string> AskText(const std::string& prompt,
                                       const std::string& title = kAppTitle,
                                       const std::string& initial = "") override;
    std::optional<std::string> ChooseDirectory(const std::string& caption,
                                               const std::string& start = "") override;
    std::optional<std::string> ChooseFile(const std::string& title,
                                          const std::string& filter) override;

private:
    Journal& journal_;
};

// Message texts may hold line breaks; a journal line may not.
std::string OneLine(const std::string& text);

}  // namespace vigiltron
