#include "platform/PortMap.h"

#include "core/SettingsTree.h"
#include "core/LooseText.h"

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
    return map;
}

}  // namespace vigiltron
