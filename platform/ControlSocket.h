#pragma once

#include <cstddef>
#include <string>

namespace vigiltron {

// The local control channel between a running program and a second process of the same user
// (`--ack`, `--snooze`): a Unix domain socket in the configuration directory, one line of
// request and one line of answer per connection.

inline constexpr const char* kControlSocketName = "control.sock";
// Longer lines are not requests: the connection is answered and closed.
inline constexpr std::size_t kLongestControlLine = 4096;

// Where the program that uses `configDirectory` listens.
inline std::string ControlSocketPath(const std::string& configDirectory) {
    if (!configDirectory.empty() && configDirectory.back() == '/') {
        return configDirectory + kControlSocketName;
    }
    return configDirectory + "/" + kControlSocketName;
}

}  // namespace vigiltron
