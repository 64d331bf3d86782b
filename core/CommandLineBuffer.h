#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace vigiltron {

// Gathers the bytes a device receives into command lines ended by CR. LF is ignored, so CR LF
// ends a line too; a CR with nothing before it is no command. A line longer than the device
// can hold keeps only its last `limit` characters.
class CommandLineBuffer {
public:
    explicit CommandLineBuffer(std::size_t limit) : limit_(limit) {}

    // The line `c` completes, if it completes one.
    std::optional<std::string> Take(char c);
    // Forgets a line begun but not ended.
    void Clear() { pending_.clear(); }

private:
    std::size_t limit_;
    std::string pending_;
};

}  // namespace vigiltron
