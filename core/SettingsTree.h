#pragma once

#include <string>

namespace vigiltron {

// The per-user settings tree: string values in sections named like paths ("Program Setup\Prox1").
// A trailing backslash names the same section as the name without it.
class SettingsTree {
public:
    virtual ~SettingsTree() = default;
    virtual std::string GetSetting(const std::string& section, const std::string& key,
                                   const std::string& defaultValue = "") const = 0;
    virtual void SaveSetting(const std::string& section, const std::string& key,
                             const std::string& value) = 0;
    // Removes the section with its values and sub-sections.
    virtual void DeleteSetting(const std::string& section) = 0;
};

// Canonical form of a section name: backslash separators, no leading or trailing separator,
// runs of separators collapsed. "Program Setup\" and "Program Setup" give the same result.
std::string NormalizeSection(const std::string& section);

}  // namespace vigiltron
