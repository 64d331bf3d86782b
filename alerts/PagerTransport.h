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
    // The same page or call to `number` instead of the configured one (an escalation).
    // A transport that cannot dial another number says so rather than paging the usual one.
    virtual PageResult SendPageTo(const std::string& number, int setupIndex, int kind, bool phone) {
        (void)number, (void)setupIndex, (void)kind, (void)phone;
        return {false, "this pager cannot dial another number"};
    }
};

}  // namespace vigiltron
