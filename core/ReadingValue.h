#pragma once

#include <string>
#include <string_view>

namespace vigiltron {

// The number at the start of `text`: optional leading blanks and sign, digits, optional fraction
// and exponent; parsing stops at the first character that cannot continue the number. No number
// gives 0. This is how a sensor's reply and any reading text are read as numbers.
double LeadingNumber(std::string_view text);

// Whether `text` starts with a number (after blanks, a sign and a decimal point): a reading, not
// a word such as "OK" that would read as 0.
bool StartsWithReading(std::string_view text);

// `value` as the shortest plain decimal text that reads back as the same number ("72.5", "-3",
// "0.001"), never in exponent form.
std::string PlainDecimal(double value);

// The value text of a reply: the leading number of its first `count` characters, written back in
// the shortest plain decimal form ("072.50F" with 6 characters gives "72.5").
std::string ReadingValue(std::string_view reply, std::size_t count);

// An accelerometer stream line cut into its two axis texts: X is the line up to and including
// its first blank, Y the rest after that blank. Without a blank X is empty and Y the whole line.
struct TiltTexts {
    std::string x;
    std::string y;
};
TiltTexts SplitTilt(std::string_view line);

}  // namespace vigiltron
