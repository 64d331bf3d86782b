#pragma once

#include <string>

namespace vigiltron {

struct PageResult {
    bool sent = false;
    // What happened, for the journal: why it failed, or how it went out.
    std::string description;
};

// The modem pager (`SendNumericPage`): a numeric page (phone false) dials the pager service and
// sends the page digits; the phone route (phone true) only rings the configured telephone number.
// Runs to completion (the caller blocks); never throws.
class PagerTransport {
public:
    virtual ~PagerTransport() = default;
    virtual PageResult SendNumericPage(int setupIndex, int kind, bool phone) = 0;
};

}  // namespace vigiltron
