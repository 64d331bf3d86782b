#pragma once

#include <string>

namespace vigiltron {

// What the program asks of the desktop session. The Linux adapter uses an XDG autostart entry
// for the start at log-on; tests use a recording fake.
class SystemActions {
public:
    virtual ~SystemActions() = default;
    // Makes the program start when the user logs on. False (with `error`) on failure.
    virtual bool PlaceInStartup(std::string& error) = 0;
    virtual bool RemoveFromStartup(std::string& error) = 0;
    virtual bool IsPlacedInStartup() const = 0;
};

}  // namespace vigiltron
