#include "config/RegistryImport.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <exception>
#include <optional>
#include <utility>

#include "core/LooseText.h"
#include "core/SettingsTree.h"

namespace vigiltron {

namespace {

using Reason = RegistryImport::Skipped::Reason;

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kBlanks = " \t";

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

std::string FromUtf16Le(std::string_view bytes) {
    auto unitAt = [&](std::size_t i) -> char32_t {
        return char32_t(std::uint8_t(bytes[i])) | char32_t(std::uint8_t(bytes[i + 1])) << 8;
    };
    std::string out;
    out.reserve(bytes.size() / 2);
    // A trailing odd byte is half a character of a cut-off file: dropped.
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t c = unitAt(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size() && unitAt(i + 2) >= 0xDC00 &&
            unitAt(i + 2) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unitAt(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // half of a surrogate pair
        }
        AppendUtf8(out, c);
    }
    return out;
}

// Windows-1252 is Latin-1 except for 0x80..0x9F; its five unassigned bytes there convert to the
// control characters of the same number, as Windows converts them.
std::string FromWindows1252(std::string_view bytes) {
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    out.reserve(bytes.size());
    for (const char byte : bytes) {
        const std::uint8_t b = std::uint8_t(byte);
        AppendUtf8(out, b >= 0x80 && b < 0xA0 ? char32_t(kHigh[b - 0x80]) : char32_t(b));
    }
    return out;
}

// The file's text as UTF-8, from its byte-order mark: UTF-16LE (what the registry editor writes
// for version 5.00), UTF-8 (what some editors save), or the ANSI code page (REGEDIT4).
std::string DecodeText(std::string_view bytes) {
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        return FromUtf16Le(bytes.substr(2));
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        return std::string(bytes.substr(3));
    }
    return FromWindows1252(bytes);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(std::uint8_t(x)) == std::tolower(std::uint8_t(y));
           });
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Reads a quoted text with its "\\" and "\"" escapes, from the opening quote at `pos`; leaves
// `pos` past the closing quote. False, with the reason in `error`, when the text is broken.
bool ReadQuoted(std::string_view line, std::size_t& pos, std::string& text, std::string& error) {
    if (pos >= line.size() || line[pos] != '"') {
        error = "expected a quoted text";
        return false;
    }
    for (++pos; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\') {
            if (pos + 1 >= line.size() || (line[pos + 1] != '\\' && line[pos + 1] != '"')) {
                error = "a backslash that is neither \\\\ nor \\\"";
                return false;
            }
            ++pos;
        }
        text += line[pos];
    }
    error = "no closing quote";
    return false;
}

// The comma-separated bytes of a hex value ("00,1f,a0"), possibly empty.
bool IsHexList(std::string_view data) {
    data = Trim(data, kBlanks);
    if (data.empty()) {
        return true;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = data.find(',', start);
        const std::string_view byte =
            Trim(data.substr(start, comma == std::string_view::npos ? std::string_view::npos
                                                                    : comma - start),
                 kBlanks);
        if (byte.empty() || byte.size() > 2 || !std::all_of(byte.begin(), byte.end(), IsHexDigit)) {
            return false;
        }
        if (comma == std::string_view::npos) {
            return true;
        }
        start = comma + 1;
    }
}

std::string HexTypeText(std::string_view type) {
    if (type == "hex") {
        return "binary value (hex)";
    }
    const std::string_view number = type.substr(4, type.size() - 5);  // inside "hex(...)"
    const std::string written(type);
    if (EqualsIgnoringCase(number, "2")) {
        return "expandable string (" + written + ")";
    }
    if (EqualsIgnoringCase(number, "7")) {
        return "multi-string (" + written + ")";
    }
    if (EqualsIgnoringCase(number, "b")) {
        return "qword value (" + written + ")";
    }
    return written + " value";
}

// What a malformed line shows of itself: enough to find it, never a value (which may be a
// password), so nothing after an "=".
std::string Excerpt(std::string_view line) {
    constexpr std::size_t kShown = 24;
    const std::size_t equals = line.find('=');
    if (equals != std::string_view::npos && equals < kShown) {
        return std::string(line.substr(0, equals + 1)) + "...";
    }
    return line.size() <= kShown ? std::string(line) : std::string(line.substr(0, kShown)) + "...";
}

class Parser {
public:
    Parser(std::vector<std::string> lines, RegistryImport::Report& report, SettingsTree& settings)
        : lines_(std::move(lines)), report_(report), settings_(settings) {}

    void Run() {
        for (i_ = 1; i_ < lines_.size(); ++i_) {
            const std::string_view line = Trim(lines_[i_], kBlanks);
            if (line.empty() || line.front() == ';') {
                continue;
            }
            if (line.front() == '[') {
                KeyLine(line);
            } else if (line.front() == '"' || line.front() == '@') {
                ValueLine(line);
            } else {
                Skip(Reason::Malformed, Excerpt(line), "neither a key nor a value");
            }
        }
        CloseIgnoredKey();
    }

private:
    enum class Where { NoKey, Program, Ignored };

    int LineNumber() const { return int(i_) + 1; }

    void Skip(Reason reason, std::string what, std::string detail) {
        report_.skipped.push_back({LineNumber(), reason, std::move(what), std::move(detail)});
    }

    // Values under a key that is left out go with it: the key's entry counts them.
    void IgnoreFollowingValues() {
        where_ = Where::Ignored;
        ignoredEntry_ = report_.skipped.size() - 1;
        ignoredValues_ = 0;
    }

    void CloseIgnoredKey() {
        if (where_ == Where::Ignored && ignoredValues_ > 0) {
            report_.skipped[ignoredEntry_].detail +=
                " (" + std::to_string(ignoredValues_) +
                (ignoredValues_ == 1 ? " value below it left out)" : " values below it left out)");
        }
    }

    void KeyLine(std::string_view line) {
        CloseIgnoredKey();
        if (line.back() != ']') {
            Skip(Reason::Malformed, Excerpt(line), "a key line without its closing \"]\"");
            IgnoreFollowingValues();
            return;
        }
        const std::string_view path = Trim(line.substr(1, line.size() - 2), kBlanks);
        if (!path.empty() && path.front() == '-') {
            Skip(Reason::Deletion, "[" + std::string(path) + "]", "");
            IgnoreFollowingValues();
            return;
        }
        const std::string_view key = RegistryImport::kProgramKey;
        if (EqualsIgnoringCase(path, key)) {
            where_ = Where::Program;
            section_.clear();
        } else if (path.size() > key.size() + 1 && path[key.size()] == '\\' &&
                   EqualsIgnoringCase(path.substr(0, key.size()), key)) {
            where_ = Where::Program;
            section_ = std::string(path.substr(key.size() + 1));
        } else {
            Skip(Reason::OutsideProgramKey, "[" + std::string(path) + "]", "");
            IgnoreFollowingValues();
        }
    }

    void ValueLine(std::string_view line) {
        const int first = LineNumber();  // a value running on over lines is reported here
        auto skip = [&](Reason reason, std::string what, std::string detail) {
            report_.skipped.push_back({first, reason, std::move(what), std::move(detail)});
        };
        std::size_t pos = 0;
        std::string name;
        std::string error;
        const bool isDefault = line.front() == '@';
        if (isDefault) {
            pos = 1;
        } else if (!ReadQuoted(line, pos, name, error)) {
            skip(Reason::Malformed, Excerpt(line), "the value's name has " + error);
            return;
        }
        const std::string shownName = isDefault ? "@" : "\"" + name + "\"";
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) {
            ++pos;
        }
        if (pos >= line.size() || line[pos] != '=') {
            skip(Reason::Malformed, shownName, "no \"=\" after the name");
            return;
        }
        const std::string_view data = Trim(line.substr(pos + 1), kBlanks);

        std::string value;
        std::optional<std::pair<Reason, std::string>> leftOut;
        if (!data.empty() && data.front() == '"') {
            std::size_t at = 0;
            if (!ReadQuoted(data, at, value, error)) {
                skip(Reason::Malformed, shownName, "the value has " + error);
                return;
            }
            if (at != data.size()) {
                skip(Reason::Malformed, shownName, "text after the closing quote");
                return;
            }
        } else if (data == "-") {
            leftOut.emplace(Reason::Deletion, "");
        } else if (data.substr(0, 6) == "dword:") {
            const std::string_view digits = data.substr(6);
            if (digits.size() != 8 || !std::all_of(digits.begin(), digits.end(), IsHexDigit)) {
                skip(Reason::Malformed, shownName, "a dword needs eight hex digits");
                return;
            }
            leftOut.emplace(Reason::NotAString, "dword value");
        } else if (data.substr(0, 3) == "hex") {
            const std::size_t colon = data.find(':');
            const std::string_view type = data.substr(0, colon);
            if (colon == std::string_view::npos ||
                !(type == "hex" ||
                  (type.size() > 5 && type.substr(0, 4) == "hex(" && type.back() == ')' &&
                   std::all_of(type.begin() + 4, type.end() - 1, IsHexDigit)))) {
                skip(Reason::Malformed, shownName, "an unknown value type");
                return;
            }
            // Long hex values run on over lines that end in a backslash.
            std::string bytes(data.substr(colon + 1));
            while (!bytes.empty() && bytes.back() == '\\') {
                bytes.pop_back();
                if (i_ + 1 >= lines_.size()) {
                    skip(Reason::Malformed, shownName, "the file ends inside the value");
                    return;
                }
                ++i_;
                bytes += Trim(lines_[i_], kBlanks);
            }
            if (!IsHexList(bytes)) {
                skip(Reason::Malformed, shownName, "the hex bytes cannot be read");
                return;
            }
            leftOut.emplace(Reason::NotAString, HexTypeText(type));
        } else {
            skip(Reason::Malformed, shownName, "an unknown value type");
            return;
        }

        if (where_ == Where::Ignored) {
            ++ignoredValues_;
        } else if (where_ == Where::NoKey) {
            skip(Reason::NoKey, shownName, "");
        } else if (leftOut) {
            skip(leftOut->first, shownName, leftOut->second);
        } else if (isDefault) {
            skip(Reason::DefaultValue, shownName, "");
        } else if (name.empty()) {
            skip(Reason::UnusableName, shownName, "an empty name");
        } else if (name.find_first_of("\\/") != std::string::npos) {
            // The store would take the part before the separator for a section.
            skip(Reason::UnusableName, shownName, "a name holding \"\\\" or \"/\"");
        } else {
            try {
                settings_.SaveSetting(section_, name, value);
                report_.imported.push_back({first, section_, name});
            } catch (const std::exception& e) {
                skip(Reason::NotSaved, shownName, e.what());
            } catch (...) {
                skip(Reason::NotSaved, shownName, "unknown error");
            }
        }
    }

    std::vector<std::string> lines_;
    RegistryImport::Report& report_;
    SettingsTree& settings_;
    std::size_t i_ = 0;
    Where where_ = Where::NoKey;
    std::string section_;
    std::size_t ignoredEntry_ = 0;
    int ignoredValues_ = 0;
};

std::string ReasonText(const RegistryImport::Skipped& s) {
    switch (s.reason) {
        case Reason::OutsideProgramKey:
            return "outside the program's key" + s.detail;
        case Reason::Deletion:
            return "a deletion; an import only adds values" + s.detail;
        case Reason::NotAString:
            return s.detail + "; the program keeps only strings";
        case Reason::DefaultValue:
            return "the key's default value; the program reads named values only";
        case Reason::UnusableName:
            return s.detail;
        case Reason::NoKey:
            return "a value before any key line";
        case Reason::Malformed:
            return "malformed: " + s.detail;
        case Reason::NotSaved:
            return "not saved: " + s.detail;
    }
    return s.detail;
}

}  // namespace

int RegistryImport::Report::Count(Skipped::Reason reason) const {
    return int(std::count_if(skipped.begin(), skipped.end(),
                             [reason](const Skipped& s) { return s.reason == reason; }));
}

std::vector<std::string> RegistryImport::Report::Lines() const {
    std::vector<std::string> lines;
    if (Refused()) {
        lines.push_back(refusal);
        return lines;
    }
    std::string summary = "\"" + header + "\" export: " + std::to_string(imported.size()) +
                          (imported.size() == 1 ? " value" : " values") + " imported, " +
                          std::to_string(skipped.size()) + " skipped";
    if (const int malformed = Count(Skipped::Reason::Malformed); malformed > 0) {
        summary += " (" + std::to_string(malformed) +
                   (malformed == 1 ? " malformed line)" : " malformed lines)");
    }
    lines.push_back(summary);
    // Imported and skipped, merged in file order.
    std::size_t a = 0;
    std::size_t b = 0;
    while (a < imported.size() || b < skipped.size()) {
        if (b >= skipped.size() || (a < imported.size() && imported[a].line < skipped[b].line)) {
            const Imported& v = imported[a++];
            lines.push_back("imported line " + std::to_string(v.line) + ": " +
                            (v.section.empty() ? "" : v.section + "\\") + v.name);
        } else {
            const Skipped& s = skipped[b++];
            lines.push_back("skipped line " + std::to_string(s.line) + ": " + s.what + ": " +
                            ReasonText(s));
        }
    }
    return lines;
}

RegistryImport::Report RegistryImport::Import(std::string_view bytes, SettingsTree& settings) {
    Report report;
    if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF') {
        report.refusal =
            "This file is in UTF-16 big-endian; the registry editor's exports are UTF-16 "
            "little-endian or ANSI. Nothing was imported.";
        return report;
    }
    std::vector<std::string> lines = SplitLines(DecodeText(bytes));
    const std::string_view header = Trim(lines.front(), kBlanks);
    if (header != kHeader5 && header != kHeader4) {
        report.refusal = "This is not a registry export: its first line must be \"" +
                         std::string(kHeader5) + "\" or \"" + std::string(kHeader4) +
                         "\". Nothing was imported.";
        return report;
    }
    report.header = std::string(header);
    Parser(std::move(lines), report, settings).Run();
    return report;
}

}  // namespace vigiltron
