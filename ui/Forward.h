#pragma once

#include <utility>

namespace vigiltron {

// Runs a command the program gave a window; a command left empty does nothing.
template <typename Command, typename... Args>
void Forward(const Command& command, Args&&... args) {
    if (command) {
        command(std::forward<Args>(args)...);
    }
}

}  // namespace vigiltron
