#include "core/ReadingValue.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace vigiltron {

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
}  // namespace

double LeadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0.0;
    }
    // An exponent counts only when at least one digit follows it ("5e" reads as 5).
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j])) {
                ++j;
            }
            i = j;
        }
    }
    std::string number(text.substr(start, i - start));
    if (!number.empty() && number[0] == '+') {
        number.erase(0, 1);
    }
    const double value = std::strtod(number.c_str(), nullptr);
    return std::isfinite(value) ? value : 0.0;
}

bool StartsWithReading(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
    }
    return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

std::string PlainDecimal(double value) {
    if (!std::isfinite(value) || value == 0.0) {
        return "0";
    }
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc()) {
        return "0";
    }
    return std::string(buffer, result.ptr);
}

std::string ReadingValue(std::string_view reply, std::size_t count) {
    return PlainDecimal(LeadingNumber(reply.substr(0, std::min(count, reply.size()))));
}

TiltTexts SplitTilt(std::string_view line) {
    const auto blank = line.find(' ');
    if (blank == std::string_view::npos) {
        return {"", std::string(line)};
    }
    return {std::string(line.substr(0, blank + 1)), std::string(line.substr(blank + 1))};
}

}  // namespace vigiltron
