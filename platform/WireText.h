#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vigiltron {

// Small text helpers for what the network clients read from settings and from servers.

// `text` without the blanks, tabs and line breaks around it.
std::string_view TrimBlanks(std::string_view text);

// `text` in lower case (ASCII only, as protocol words are).
std::string Lower(std::string_view text);

// Whether `text` starts with `prefix`, which is written in lower case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// A server's "host[:port]", "[v6][:port]" or bare IPv6 address, taken apart.
struct HostPort {
    std::string host;
    std::string port;  // empty: the protocol's default
    bool v6 = false;

    // "host", "host:port" or "[v6]:port" again, as a URL writes it.
    std::string Authority() const;
};

// Takes apart a server's address, after its scheme and before any path; none when it holds
// credentials ("user@host"), no host or a port outside 1..65535.
std::optional<HostPort> SplitHostPort(std::string_view address);

}  // namespace vigiltron
