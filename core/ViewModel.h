#pragma once

#include <array>
#include <functional>
#include <string>

namespace vigiltron {

enum class TextColour { Black, Red, Blue, Green };

// One row of the Summary tab: what the user sees for a setup index.
struct SummaryRow {
    std::string name;
    bool visible = false;
    std::string reading = "OFF";
    TextColour readingColour = TextColour::Black;
    int readingFontSize = 14;
    bool readingBorder = true;
    std::string unit;  // "F"/"C" on temperature rows
    bool unitVisible = false;
    int unitFontSize = 14;
    std::string status;
    TextColour statusColour = TextColour::Blue;
    int statusFontSize = 14;
    bool statusVisible = false;
    std::string picture = "reddot.gif";

    friend bool operator==(const SummaryRow&, const SummaryRow&) = default;
};

}  // namespace vigiltron
