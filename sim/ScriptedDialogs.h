#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/Dialogs.h"

namespace vigiltron {

// A Dialogs fake for tests: records every text shown or asked, and answers questions and prompts
// from a script (falling back to the default button, or a cancelled prompt, when the script is
// empty).
class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        enum class Kind { Message, Question, Prompt, DirectoryChoice, FileChoice } kind;
        std::string text;
        std::string title;
        MessageIcon icon = MessageIcon::None;
        bool systemModal = false;
        std::string filter{};  // file choices only
    };

    void ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::None,
                     bool systemModal = false, const std::string& title = kAppTitle) override;
    bool AskYesNo(const std::string& text, const std::string& title = kAppTitle,
                  bool defaultYes = true) override;
    std::optional<std::string> AskText(const std::string& prompt,
                                       const std::string& title = kAppTitle,
                                       const std::string& initial = "") override;
    std::optional<std::string> ChooseDirectory(const std::string& caption,
                                               const std::string& start = "") override;
    // Recorded with the title as its text.
    std::optional<std::string> ChooseFile(const std::string& title,
                                          const std::string& filter) override;

    void QueueYesNo(bool answer) { yesNo_.push_back(answer); }
    void QueueText(std::optional<std::string> answer) { texts_.push_back(std::move(answer)); }
    void QueueDirectory(std::optional<std::string> answer) { dirs_.push_back(std::move(answer)); }
    void QueueFile(std::optional<std::string> answer) { files_.push_back(std::move(answer)); }

    const std::vector<Shown>& History() const { return history_; }
    // Texts of the message boxes only, in order.
    std::vector<std::string> Messages() const;
    bool Saw(const std::string& text) const;
    void Clear() { history_.clear(); }

private:
    std::vector<Shown> history_;
    std::deque<bool> yesNo_;
    std::deque<std::optional<std::string>> texts_;
    std::deque<std::optional<std::string>> dirs_;
    std::deque<std::optional<std::string>> files_;
};

}  // namespace vigiltron
