#pragma once

#include <charconv>
#include <string_view>

namespace vigiltron {

// `text` without any of the `blanks` characters at either end. Stored values and typed entries
// are loose text; each reader says which characters count as blank for it.
inline std::string_view Trim(std::string_view text, std::string_view blanks = " \t") {
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The whole number a stored text starts with (after blanks), 0 when it has none: stored counts,
// ports and indexes are loose text.
inline int LeadingWholeNumber(std::string_view text, std::string_view blanks = " \t") {
    text = Trim(text, blanks);
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() ? value : 0;
}

// Whether `text` holds `what` anywhere: how sensor replies and stream lines are recognised.
inline bool Contains(std::string_view text, std::string_view what) {
    return text.find(what) != std::string_view::npos;
}

}  // namespace vigiltron
