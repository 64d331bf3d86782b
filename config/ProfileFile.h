#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vigiltron {

// The text of a profile (INI) file, read and changed the way the Windows profile-string functions
// do: "[Section]" lines (names may hold backslashes), "key=value" lines, section and key names
// compared without regard to case, the first occurrence winning, blanks around names and values
// ignored, and a value wholly enclosed in matching quotes read without them. Every line that is
// not changed (comments, blank lines, other sections, unknown keys) is written back as it was.
class ProfileFile {
public:
    ProfileFile() = default;

    // Accepts CR LF or LF line ends and an optional UTF-8 byte-order mark.
    static ProfileFile Parse(std::string_view text);
    // CR LF line ends; the byte-order mark is kept when the parsed text had one.
    std::string Serialize() const;

    // The stored value, or nothing when the section or the key is missing. Values come back
    // whole, however long.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    // The stored value, or `defaultValue` without its trailing blanks when missing (so a default
    // of " " reads as "", as the Windows functions give it).
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const;

    // Writes one value: replaces the key's line in place, adds the key at the end of its section,
    // or adds the section at the end of the file. Line breaks in the value become blanks (they
    // would start new lines); a value that reading would alter (surrounding blanks, enclosing
    // quotes) is written inside double quotes so that it reads back unchanged.
    void SetString(std::string_view section, std::string_view key, std::string_view value);

    bool RemoveKey(std::string_view section, std::string_view key);
    bool RemoveSection(std::string_view section);

    bool HasSection(std::string_view section) const;
    // Keys and values of a section in file order (first occurrence of each key).
    std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const;

private:
    struct Line {
        enum class Kind { Other, Section, Entry } kind = Kind::Other;
        std::string text;   // the line as written, without its line end
        std::string name;   // section name or key, trimmed
        std::string value;  // entries: value as read (trimmed, quotes removed)
    };

    static Line MakeEntry(std::string_view key, std::string_view value);
    // Index of the section's header line, or npos.
    size_t FindSection(std::string_view section) const;
    // Index past the section's last line (the next header or the end).
    size_t SectionEnd(size_t header) const;
    size_t FindKey(size_t header, std::string_view key) const;

    std::vector<Line> lines_;
    bool byteOrderMark_ = false;
};

// Where a profile file named by the user or the machine settings lives: a name without a
// directory resolves to the user's configuration folder (as the Windows functions put bare names
// in the system folder); an absolute path is used as given, a relative one below that folder.
std::string ResolveProfilePath(const std::string& name, const std::string& configDirectory);

}  // namespace vigiltron
