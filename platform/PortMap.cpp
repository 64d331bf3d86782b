#include "platform/PortMap.h"

#include "core/LooseText.h"
#include "core/SettingsTree.h"

namespace vigiltron {

namespace {

bool IsValidComNumber(int comNumber) {
    return comNumber >= 1 && comNumber <= PortMap::kMaxComNumber;
}

}  // namespace

void PortMap::Set(int comNumber, const std::string& devicePath) {
    if (!IsValidComNumber(comNumber)) {
        return;
    }
    settings_ = nullptr;
    const std::string path(Trim(devicePath));
    if (path.empty()) {
        entries_.erase(comNumber);
    } else {
        entries_[comNumber] = path;
    }
}

std::string PortMap::DevicePath(int comNumber) const {
    if (!IsValidComNumber(comNumber)) {
        return "";
    }
    if (settings_ != nullptr) {
        const std::string key = "COM" + std::to_string(comNumber);
        const std::string path(Trim(settings_->GetSetting("Port Map", key, "")));
        return path.empty() ? "/dev/ttyS" + std::to_string(comNumber - 1) : path;
    }
    const auto it = entries_.find(comNumber);
    if (it != entries_.end()) {
        return it->second;
    }
    return "/dev/ttyS" + std::to_string(comNumber - 1);
}

PortMap PortMap::FromSettings(const SettingsTree& settings) {
    // The settings tree cannot list its keys, so every possible COM number is asked for.
    PortMap map;
    for (int n = 1; n <= kMaxComNumber; ++n) {
        map.Set(n, settings.GetSetting("Port Map", "COM" + std::to_string(n), ""));
    }
    map.settings_ = &settings;
    return map;
}

}  // namespace vigiltron
