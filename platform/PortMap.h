#pragma once

#include <map>
#include <string>

namespace vigiltron {

class SettingsTree;

// Where each COM number of the configuration lives on this machine. Entries come from the
// "Port Map" settings section ("COM5" -> "/dev/ttyUSB0" or a stable /dev/serial/by-id/ name);
// a COM number without an entry is the classic on-board port "/dev/ttyS(n-1)".
// A map read from the settings keeps following them: entries added while the program runs (the
// serial-number lookup maps its sensors) are found when a port next opens.
class PortMap {
public:
    // COM numbers above this are not looked up in the settings (the classic control's limit).
    static constexpr int kMaxComNumber = 256;

    // Maps `comNumber` to `devicePath`; an empty path removes the entry. Numbers outside
    // 1..kMaxComNumber are ignored. A map read from the settings stops following them: what is set
    // by hand wins.
    void Set(int comNumber, const std::string& devicePath);

    // The device path for `comNumber`, or "" when the number cannot name a port (below 1 or above
    // kMaxComNumber). A map read from the settings asks them again, so it sees later changes.
    std::string DevicePath(int comNumber) const;

    const std::map<int, std::string>& Entries() const { return entries_; }

    // Reads the "Port Map" section: keys "COM1" to "COM256", values device paths. Blank values are
    // skipped, surrounding blanks trimmed. The settings must outlive the map and its copies.
    static PortMap FromSettings(const SettingsTree& settings);

private:
    std::map<int, std::string> entries_;
    // Set for a map read from the settings: DevicePath follows them.
    const SettingsTree* settings_ = nullptr;
};

}  // namespace vigiltron
