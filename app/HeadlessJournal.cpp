#include "app/HeadlessJournal.h"

#include <cstdio>

namespace vigiltron {

std::string OneLine(const std::string& text) {
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            line += " | ";
        } else {
            line += c;
        }
    }
    return line;
}

void StreamJournal::Record(const std::string& category, const std::string& text) {
    const LocalDateTime now = clock_.Now();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d", now.year, now.month,
                  now.day, now.hour, now.minute, now.second, now.millisecond);
    out_ << stamp << ' ' << category << ": " << OneLine(text) << '\n';
    out_.flush();
}

void HeadlessDialogs::ShowMessage(const std::string& text, MessageIcon, bool,
                                  const std::string& title) {
    journal_.Record("message", title == kAppTitle ? text : "[" + title + "] " + text);
}

bool HeadlessDialogs::AskYesNo(const std::string& text, const std::string& title, bool defaultYes) {
    journal_.Record("question", (title == kAppTitle ? "" : "[" + title + "] ") + text +
                                    (defaultYes ? " -> Yes" : " -> No"));
    return defaultYes;
}

std::optional<std::string> HeadlessDialogs::AskText(const std::string& prompt,
                                                    const std::string& title, const std::string&) {
    journal_.Record("prompt",
                    (title == kAppTitle ? "" : "[" + title + "] ") + prompt + " -> cancelled");
    return std::nullopt;
}

std::optional<std::string> HeadlessDialogs::ChooseDirectory(const std::string& caption,
                                                            const std::string&) {
    journal_.Record("prompt", caption + " -> cancelled");
    return std::nullopt;
}

std::optional<std::string> HeadlessDialogs::ChooseFile(const std::string& title,
                                                       const std::string&) {
    journal_.Record("prompt", title + " -> cancelled");
    return std::nullopt;
}

}  // namespace vigiltron
