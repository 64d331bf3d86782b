#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vigiltron {

// Cuts a byte stream from a streaming sensor into its CR-terminated lines. Lines may arrive split
// across reads or several in one read; LF and NUL bytes are dropped. Every complete line of a read
// is handed out, in order; what waits for its CR stays bounded however the sensor misbehaves: a
// line longer than kMaxLine is thrown away up to its CR.
class LineFramer {
public:
    static constexpr std::size_t kMaxLine = 256;

    // Adds received bytes; returns the lines they completed, oldest first, without their CR.
    std::vector<std::string> Feed(std::string_view bytes);

    // Forgets a partial line (the port was closed or reopened).
    void Reset();

    std::size_t Pending() const { return partial_.size(); }
    // Lines thrown away so far because they were too long.
    std::size_t Dropped() const { return dropped_; }

private:
    std::string partial_;
    bool discarding_ = false;  // inside an overlong line, until its CR
    std::size_t dropped_ = 0;
};

}  // namespace vigiltron
