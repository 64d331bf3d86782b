#pragma once

#include <string>

namespace vigiltron {

// A running account of what the program does: readings, status changes, connections, messages.
// The headless program prints it; the windowed program may ignore it.
class Journal {
public:
    virtual ~Journal() = default;
    // `category` is one short word ("reading", "status", "connect", "message", ...).
    virtual void Record(const std::string& category, const std::string& text) = 0;
};

class NullJournal : public Journal {
public:
    void Record(const std::string&, const std::string&) override {}
};

}  // namespace vigiltron
