#pragma once

#include <string>

#include "core/SystemActions.h"

namespace vigiltron {

// Desktop-session actions on Linux. The start at log-on is an XDG autostart entry
// ("vigiltron-manager.desktop" in the autostart folder), which every freedesktop session honours.
class LinuxSystemActions : public SystemActions {
public:
    // `autostartFolder` empty: $XDG_CONFIG_HOME/autostart (or ~/.config/autostart).
    // `command` is what the entry runs; empty: this program's own path.
    explicit LinuxSystemActions(std::string autostartFolder = "", std::string command = "");

    bool PlaceInStartup(std::string& error) override;
    bool RemoveFromStartup(std::string& error) override;
    bool IsPlacedInStartup() const override;

    std::string EntryPath() const;

private:
    std::string folder_;
    std::string command_;
};

}  // namespace vigiltron
