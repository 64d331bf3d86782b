#include "core/CommandLineBuffer.h"

#include <utility>

namespace vigiltron {

std::optional<std::string> CommandLineBuffer::Take(char c) {
    if (c == '\r') {
        if (!pending_.empty()) {
            return std::exchange(pending_, std::string());
        }
    } else if (c != '\n') {
        pending_.push_back(c);
        if (pending_.size() > limit_) {
            pending_.erase(0, pending_.size() - limit_);
        }
    }
    return std::nullopt;
}

}  // namespace vigiltron
