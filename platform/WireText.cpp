#include "platform/WireText.h"

#include <algorithm>
#include <cctype>

namespace vigiltron {

std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && Lower(text.substr(0, prefix.size())) == prefix;
}

std::string HostPort::Authority() const {
    return (v6 ? "[" + host + "]" : host) + (port.empty() ? "" : ":" + port);
}

std::optional<HostPort> SplitHostPort(std::string_view rest) {
    if (rest.find('@') != std::string_view::npos) {
        return std::nullopt;  // credentials belong in their own boxes, not in the server's name
    }
    std::string_view host;
    std::string_view port;
    bool v6 = false;
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        host = rest.substr(1, close - 1);
        v6 = true;
        const std::string_view after = rest.substr(close + 1);
        if (!after.empty()) {
            if (!after.starts_with(':')) {
                return std::nullopt;
            }
            port = after.substr(1);
        }
    } else if (std::count(rest.begin(), rest.end(), ':') > 1) {
        host = rest;  // a bare IPv6 address, on the default port
        v6 = true;
    } else {
        const std::size_t colon = rest.find(':');
        host = rest.substr(0, colon);
        if (colon != std::string_view::npos) {
            port = rest.substr(colon + 1);
        }
    }
    if (host.empty()) {
        return std::nullopt;
    }
    if (!port.empty()) {
        int number = 0;
        for (char c : port) {
            if (!std::isdigit(static_cast<unsigned char>(c)) || number > 65535) {
                return std::nullopt;
            }
            number = number * 10 + (c - '0');
        }
        if (number < 1 || number > 65535) {
            return std::nullopt;
        }
    }
    return HostPort{std::string(host), std::string(port), v6};
}

}  // namespace vigiltron
