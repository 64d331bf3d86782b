#include "sim/ScriptedDialogs.h"

#include <algorithm>

namespace vigiltron {

void ScriptedDialogs::ShowMessage(const std::string& text, MessageIcon icon, bool systemModal,
                                  const std::string& title) {
    history_.push_back({Shown::Kind::Message, text, title, icon, systemModal});
}

bool ScriptedDialogs::AskYesNo(const std::string& text, const std::string& title, bool defaultYes) {
    history_.push_back({Shown::Kind::Question, text, title, MessageIcon::Question, false});
    if (yesNo_.empty()) {
        return defaultYes;
    }
    const bool answer = yesNo_.front();
    yesNo_.pop_front();
    return answer;
}

std::optional<std::string> ScriptedDialogs::AskText(const std::string& prompt,
                                                    const std::string& title,
                                                    const std::string& /*initial*/) {
    history_.push_back({Shown::Kind::Prompt, prompt, title, MessageIcon::None, false});
    if (texts_.empty()) {
        return std::nullopt;
    }
    auto answer = texts_.front();
    texts_.pop_front();
    return answer;
}

std::optional<std::string> ScriptedDialogs::ChooseDirectory(const std::string& caption,
                                                            const std::string& /*start*/) {
    history_.push_back({Shown::Kind::DirectoryChoice, caption, "", MessageIcon::None, false});
    if (dirs_.empty()) {
        return std::nullopt;
    }
    auto answer = dirs_.front();
    dirs_.pop_front();
    return answer;
}

std::optional<std::string> ScriptedDialogs::ChooseFile(const std::string& title,
                                                       const std::string& filter) {
    history_.push_back({Shown::Kind::FileChoice, title, "", MessageIcon::None, false, filter});
    if (files_.empty()) {
        return std::nullopt;
    }
    auto answer = files_.front();
    files_.pop_front();
    return answer;
}

std::vector<std::string> ScriptedDialogs::Messages() const {
    std::vector<std::string> texts;
    for (const auto& shown : history_) {
        if (shown.kind == Shown::Kind::Message) {
            texts.push_back(shown.text);
        }
    }
    return texts;
}

bool ScriptedDialogs::Saw(const std::string& text) const {
    return std::any_of(history_.begin(), history_.end(),
                       [&](const Shown& s) { return s.text == text; });
}

}  // namespace vigiltron
