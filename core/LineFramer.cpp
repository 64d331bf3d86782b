#include "core/LineFramer.h"

namespace vigiltron {

std::vector<std::string> LineFramer::Feed(std::string_view bytes) {
    std::vector<std::string> lines;
    for (const char c : bytes) {
        if (c == '\r') {
            if (discarding_) {
                discarding_ = false;
            } else {
                lines.push_back(std::move(partial_));
            }
            partial_.clear();
            continue;
        }
        if (c == '\n' || c == '\0' || discarding_) {
            continue;
        }
        if (partial_.size() >= kMaxLine) {
            partial_.clear();
            discarding_ = true;
            ++dropped_;
            continue;
        }
        partial_ += c;
    }
    return lines;
}

void LineFramer::Reset() {
    partial_.clear();
    discarding_ = false;
}

}  // namespace vigiltron
