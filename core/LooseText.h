#pragma once

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

// Whether `text` holds `what` anywhere: how sensor replies and stream lines are recognised.
inline bool Contains(std::string_view text, std::string_view what) {
    return text.find(what) != std::string_view::npos;
}

}  // namespace vigiltron
