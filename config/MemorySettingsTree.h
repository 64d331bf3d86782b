#pragma once

#include <map>
#include <string>

#include "core/SettingsTree.h"

namespace vigiltron {

// A settings tree held in memory: for tests and for the demo, which must never touch the user's
// own settings.
class MemorySettingsTree : public SettingsTree {
public:
    std::string GetSetting(const std::string& section, const std::string& key,
                           const std::string& defaultValue = "") const override;
    void SaveSetting(const std::string& section, const std::string& key,
                     const std::string& value) override;
    void DeleteSetting(const std::string& section) override;

    // Whether the section holds any value of its own.
    bool HasSection(const std::string& section) const;

private:
    std::map<std::string, std::map<std::string, std::string>> sections_;
};

}  // namespace vigiltron
