#include "config/Preferences.h"

#include <cctype>
#include <charconv>

namespace vigiltron {

Preferences Preferences::Defaults(const std::string& applicationFolder) {
    Preferences prefs;
    prefs.logdir = DefaultLogDirectory(applicationFolder);
    return prefs;
}

std::string DefaultLogDirectory(const std::string& applicationFolder) {
    if (!applicationFolder.empty() && applicationFolder.back() == '/') {
        return applicationFolder + "logfiles";
    }
    return applicationFolder + "/logfiles";
}

bool ToBoolean(std::string_view text, bool fallback) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    auto equalsWord = [&](std::string_view word) {
        if (text.size() != word.size()) {
            return false;
        }
        for (size_t i = 0; i < word.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(text[i])) != word[i]) {
                return false;
            }
        }
        return true;
    };
    if (equalsWord("true")) {
        return true;
    }
    if (equalsWord("false")) {
        return false;
    }
    double number = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, number);
    if (text.empty() || result.ec != std::errc() || result.ptr != end) {
        return fallback;
    }
    return number != 0;
}

}  // namespace vigiltron
