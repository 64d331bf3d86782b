#include "config/MemorySettingsTree.h"

namespace vigiltron {

std::string NormalizeSection(const std::string& section) {
    std::string result;
    for (char c : section) {
        const char ch = c == '/' ? '\\' : c;
        if (ch == '\\' && (result.empty() || result.back() == '\\')) {
            continue;
        }
        result += ch;
    }
    if (!result.empty() && result.back() == '\\') {
        result.pop_back();
    }
    return result;
}

std::string MemorySettingsTree::GetSetting(const std::string& section, const std::string& key,
                                           const std::string& defaultValue) const {
    const auto s = sections_.find(NormalizeSection(section));
    if (s == sections_.end()) {
        return defaultValue;
    }
    const auto v = s->second.find(key);
    return v == s->second.end() ? defaultValue : v->second;
}

void MemorySettingsTree::SaveSetting(const std::string& section, const std::string& key,
                                     const std::string& value) {
    sections_[NormalizeSection(section)][key] = value;
}

void MemorySettingsTree::DeleteSetting(const std::string& section) {
    const std::string name = NormalizeSection(section);
    const std::string prefix = name + "\\";
    for (auto it = sections_.begin(); it != sections_.end();) {
        if (it->first == name || it->first.rfind(prefix, 0) == 0) {
            it = sections_.erase(it);
        } else {
            ++it;
        }
    }
}

bool MemorySettingsTree::HasSection(const std::string& section) const {
    const auto s = sections_.find(NormalizeSection(section));
    return s != sections_.end() && !s->second.empty();
}

}  // namespace vigiltron
