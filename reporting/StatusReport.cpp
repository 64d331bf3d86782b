#include "reporting/StatusReport.h"

#include <exception>
#include <utility>

#include "core/DeviceKind.h"
#include "core/LooseText.h"

namespace vigiltron {

namespace {

constexpr const char* kCrLf = "\r\n";

// The next character of a UTF-8 text, advancing `i` past it. A byte that does not start a
// well-formed sequence stands for itself as an ISO-8859-1 character: names typed into an older
// Latin-1 preferences file come through that way.
char32_t NextCharacter(std::string_view text, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    // Sequence length, the payload bits of the lead byte, and the smallest value the length may
    // carry (longer forms of a small value are not allowed).
    struct Form {
        unsigned char mask, marker;
        int length;
        char32_t smallest;
    };
    static constexpr Form kForms[] = {
        {0xE0, 0xC0, 2, 0x80}, {0xF0, 0xE0, 3, 0x800}, {0xF8, 0xF0, 4, 0x10000}};
    int length = 0;
    char32_t value = 0;
    char32_t smallest = 0;
    for (const Form& form : kForms) {
        if ((lead & form.mask) == form.marker) {
            length = form.length;
            value = lead & static_cast<unsigned char>(~form.mask);
            smallest = form.smallest;
            break;
        }
    }
    bool valid = length > 0 && i + length <= text.size();
    for (int k = 1; valid && k < length; ++k) {
        valid = (byte(i + k) & 0xC0) == 0x80;
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    valid = valid && value >= smallest && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
    if (!valid) {
        ++i;
        return lead;
    }
    i += std::size_t(length);
    return value;
}

// A text as ISO-8859-1 element content: markup characters escaped, characters beyond Latin-1
// as numeric references.
std::string XmlText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = NextCharacter(utf8, i);
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                if (c < 0x20) {
                    // XML allows no control characters, and a line break would split the
                    // element's line.
                    out += ' ';
                } else if (c == 0xFFFE || c == 0xFFFF) {
                    out += '?';  // not characters at all
                } else if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
                    out += static_cast<char>(c);
                } else {
                    // Includes 0x80..0x9F: browsers read an "ISO-8859-1" label as windows-1252,
                    // where those bytes are printable, so only a reference means the same to all.
                    out += "&#" + std::to_string(static_cast<unsigned long>(c)) + ";";
                }
        }
    }
    return out;
}

std::string Element(const std::string& tag, std::string_view text) {
    return "<" + tag + ">" + XmlText(text) + "</" + tag + ">" + kCrLf;
}

// A combined sensor's slot from its two-digit sub-index ("12": Temperature slot 1, Humidity
// slot 2); 0 when the sub-index is not two slot digits.
int ComboSlot(std::string_view subIndex, std::size_t digit) {
    subIndex = Trim(subIndex, " ");
    if (subIndex.size() != 2) {
        return 0;
    }
    const int slot = subIndex[digit] - '0';
    return slot >= 1 && slot <= 4 ? slot : 0;
}

// "C:\", "D:\inetpub" or "\\server\share": meaningful on Windows only.
bool IsWindowsPath(std::string_view path) {
    const bool drive = path.size() >= 2 && path[1] == ':' &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return drive || path.substr(0, 2) == "\\\\";
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

StatusReport::StatusReport(Services services) : s_(std::move(services)) {}

std::string StatusReport::CurrentDocumentName() const {
    if (!keepHistory) {
        return "vtman.xml";
    }
    const int number = XmlFileNumber >= 0 && XmlFileNumber <= 9 ? XmlFileNumber : 0;
    return "vtman" + std::to_string(number) + ".xml";
}

std::string StatusReport::XmlDirectory() const {
    if (!s_.prefs.UseDirectory) {
        return s_.applicationFolder;
    }
    std::string directory(Trim(s_.prefs.txtXMLDirectory, " \t"));
    if (directory.empty() || IsWindowsPath(directory)) {
        return JoinPath(s_.applicationFolder, "www");
    }
    if (directory.front() != '/') {
        directory = JoinPath(s_.applicationFolder, directory);
    }
    while (directory.size() > 1 && directory.back() == '/') {
        directory.pop_back();
    }
    return directory;
}

std::string StatusReport::SensorEntry(int n) const {
    const SummaryRow& row = s_.view.Row(n);
    const DeviceRecord* record = s_.model.Entry(n);
    const std::string type = record ? record->deviceType : std::string();

    std::string entry = std::string("<sensor>") + kCrLf;
    entry += Element("type", type);
    entry += Element("name", row.name);
    entry += Element("status", row.status);
    if (!row.reading.empty()) {
        entry += Element("current", row.reading + row.unit);
    } else {
        entry += Element("current", type == kTypeProximity ? "Not Present" : "n/a");
    }

    // Highest and lowest values belong to combined sensors only; a sensor that is not connected
    // has none.
    const bool humidityHalf = Contains(type, kTypeComboHumidity);
    const bool temperatureHalf = Contains(type, kTypeComboTemperature);
    if (row.reading == "OFF") {
        entry += Element("high", "-") + Element("low", "-");
    } else if (humidityHalf || temperatureHalf) {
        const Tab tab = humidityHalf ? Tab::Humidity : Tab::Temperature;
        const int slot = ComboSlot(record->subIndex, humidityHalf ? 1 : 0);
        if (slot == 0) {
            entry += Element("high", "-") + Element("low", "-");
        } else {
            const TabSlotView& view = s_.view.Slot(tab, slot);
            entry += Element("high", view.highest) + Element("low", view.lowest);
        }
    }
    entry += std::string("</sensor>") + kCrLf;
    return entry;
}

std::string StatusReport::DocumentText() const {
    std::string text;
    auto line = [&text](const std::string& content) { text += content + kCrLf; };
    line(R"(<?xml version="1.0" encoding="ISO-8859-1"?>)");
    line(R"(<?xml-stylesheet type="text/xsl" href="vtman.xsl"?>)");
    line("<vigiltron>");
    line("<title>");
    text += Element("TxtTitle", s_.prefs.txtTitleForUpdatePage);
    line("</title>");

    // The Summary lists its rows from the top without gaps: the first hidden row ends the list.
    for (int n = DeviceModel::kFirstIndex; n <= DeviceModel::kLastIndex; ++n) {
        if (!s_.view.Row(n).visible) {
            break;
        }
        text += SensorEntry(n);
    }

    // A blank entry, then the time of this update.
    for (const char* blank : {"<sensor>", "<type> </type>", "<name> </name>", "<status> </status>",
                              "<current> </current>", "</sensor>"}) {
        line(blank);
    }
    const LocalDateTime now = s_.clock.Now();
    line("<sensor>");
    line("<type>Updated: " + XmlText(s_.clock.ShortDate(now)) + " @ " +
         XmlText(s_.clock.LongTime(now)) + "</type>");
    line("<name>(Updated every " + XmlText(s_.prefs.InternetInterval) + " minutes)</name>");
    line("<status> </status>");
    line("<current> </current>");
    line("</sensor>");
    line("</vigiltron>");
    return text;
}

std::string StatusReport::BuildXML() {
    if (keepHistory) {
        XmlFileNumber = XmlFileNumber >= 0 && XmlFileNumber < 9 ? XmlFileNumber + 1 : 0;
    }
    try {
        const std::string directory = XmlDirectory();
        if (directory.empty()) {
            lastError_ = "No folder is set for the status page";
            return {};
        }
        if (!s_.files.DirectoryExists(directory)) {
            lastError_ = "The folder for the status page does not exist: " + directory;
            return {};
        }
        const std::string path = JoinPath(directory, CurrentDocumentName());
        std::string error;
        if (!s_.files.WriteAtomically(path, DocumentText(), error)) {
            lastError_ = error.empty() ? "Could not write " + path : error;
            return {};
        }
        lastError_.clear();
        return path;
    } catch (const std::exception& e) {
        lastError_ = std::string("Could not build the status page: ") + e.what();
        return {};
    }
}

}  // namespace vigiltron
