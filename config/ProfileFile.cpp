#include "config/ProfileFile.h"
#include "core/LooseText.h"

#include <algorithm>
#include <cctype>

namespace vigiltron {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// What the profile file treats as blank around names and values.
constexpr std::string_view kBlanks = " \t\r\v\f";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

// The value as the Windows functions return it: trimmed, and without quotes that enclose it.
std::string ReadValue(std::string_view raw) {
    std::string_view value = Trim(raw, kBlanks);
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

}  // namespace

ProfileFile ProfileFile::Parse(std::string_view text) {
    ProfileFile file;
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        file.byteOrderMark_ = true;
        text.remove_prefix(kByteOrderMark.size());
    }
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!raw.empty() && raw.back() == '\r') {
            raw.remove_suffix(1);
        }
        Line line;
        line.text = std::string(raw);
        const std::string_view body = Trim(raw, kBlanks);
        if (!body.empty() && body.front() == '[') {
            line.kind = Line::Kind::Section;
            const size_t close = body.find(']');
            line.name = std::string(
                Trim(body.substr(
                         1, close == std::string_view::npos ? std::string_view::npos : close - 1),
                     kBlanks));
        } else if (!body.empty() && body.front() != ';') {
            const size_t equals = body.find('=');
            if (equals != std::string_view::npos) {
                line.kind = Line::Kind::Entry;
                line.name = std::string(Trim(body.substr(0, equals), kBlanks));
                line.value = ReadValue(body.substr(equals + 1));
            }
        }
        file.lines_.push_back(std::move(line));
    }
    return file;
}

std::string ProfileFile::Serialize() const {
    std::string text;
    if (byteOrderMark_) {
        text += kByteOrderMark;
    }
    for (const Line& line : lines_) {
        text += line.text;
        text += "\r\n";
    }
    return text;
}

size_t ProfileFile::FindSection(std::string_view section) const {
    const std::string_view name = Trim(section, kBlanks);
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == Line::Kind::Section && SameName(lines_[i].name, name)) {
            return i;
        }
    }
    return std::string::npos;
}

size_t ProfileFile::SectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != Line::Kind::Section) {
        ++i;
    }
    return i;
}

size_t ProfileFile::FindKey(size_t header, std::string_view key) const {
    const std::string_view name = Trim(key, kBlanks);
    const size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
        if (lines_[i].kind == Line::Kind::Entry && SameName(lines_[i].name, name)) {
            return i;
        }
    }
    return std::string::npos;
}

std::optional<std::string> ProfileFile::Find(std::string_view section, std::string_view key) const {
    const size_t header = FindSection(section);
    if (header == std::string::npos) {
        return std::nullopt;
    }
    const size_t at = FindKey(header, key);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    return lines_[at].value;
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key,
                                   std::string_view defaultValue) const {
    if (auto value = Find(section, key)) {
        return *value;
    }
    while (!defaultValue.empty() && IsBlank(defaultValue.back())) {
        defaultValue.remove_suffix(1);
    }
    return std::string(defaultValue);
}

ProfileFile::Line ProfileFile::MakeEntry(std::string_view key, std::string_view value) {
    std::string clean(value);
    std::replace_if(
        clean.begin(), clean.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    std::string written = clean;
    if (ReadValue(clean) != clean) {
        written = "\"" + clean + "\"";
    }
    Line line;
    line.kind = Line::Kind::Entry;
    line.name = std::string(Trim(key, kBlanks));
    line.value = std::move(clean);
    line.text = line.name + "=" + written;
    return line;
}

void ProfileFile::SetString(std::string_view section, std::string_view key,
                            std::string_view value) {
    Line entry = MakeEntry(key, value);
    size_t header = FindSection(section);
    if (header == std::string::npos) {
        if (!lines_.empty() && !Trim(lines_.back().text, kBlanks).empty()) {
            lines_.push_back(Line{});
        }
        Line head;
        head.kind = Line::Kind::Section;
        head.name = std::string(Trim(section, kBlanks));
        head.text = "[" + head.name + "]";
        lines_.push_back(std::move(head));
        lines_.push_back(std::move(entry));
        return;
    }
    const size_t at = FindKey(header, key);
    if (at != std::string::npos) {
        entry.name = lines_[at].name;  // keep the file's own spelling of the key
        entry.text = entry.name + entry.text.substr(entry.text.find('='));
        lines_[at] = std::move(entry);
        return;
    }
    // After the section's last entry, so that blank lines and comments before the next section
    // stay where they are.
    size_t insertAt = header + 1;
    for (size_t i = header + 1; i < SectionEnd(header); ++i) {
        if (lines_[i].kind == Line::Kind::Entry) {
            insertAt = i + 1;
        }
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(entry));
}

bool ProfileFile::RemoveKey(std::string_view section, std::string_view key) {
    const size_t header = FindSection(section);
    if (header == std::string::npos) {
        return false;
    }
    const size_t at = FindKey(header, key);
    if (at == std::string::npos) {
        return false;
    }
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(at));
    return true;
}

bool ProfileFile::RemoveSection(std::string_view section) {
    const size_t header = FindSection(section);
    if (header == std::string::npos) {
        return false;
    }
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
    return true;
}

bool ProfileFile::HasSection(std::string_view section) const {
    return FindSection(section) != std::string::npos;
}

std::vector<std::pair<std::string, std::string>> ProfileFile::Entries(
    std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> entries;
    const size_t header = FindSection(section);
    if (header == std::string::npos) {
        return entries;
    }
    for (size_t i = header + 1; i < SectionEnd(header); ++i) {
        const Line& line = lines_[i];
        if (line.kind != Line::Kind::Entry) {
            continue;
        }
        const bool seen = std::any_of(entries.begin(), entries.end(),
                                      [&](const auto& e) { return SameName(e.first, line.name); });
        if (!seen) {
            entries.emplace_back(line.name, line.value);
        }
    }
    return entries;
}

std::string ResolveProfilePath(const std::string& name, const std::string& configDirectory) {
    const bool absolute = (!name.empty() && (name.front() == '/' || name.front() == '\\')) ||
                          (name.size() >= 3 && std::isalpha(static_cast<unsigned char>(name[0])) &&
                           name[1] == ':' && (name[2] == '\\' || name[2] == '/'));
    if (absolute || configDirectory.empty()) {
        return name;
    }
    if (configDirectory.back() == '/') {
        return configDirectory + name;
    }
    return configDirectory + "/" + name;
}

}  // namespace vigiltron
