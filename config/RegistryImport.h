#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vigiltron {

class SettingsTree;

// Brings the settings of a Windows installation over: reads what the Windows registry editor
// exports of the program's key (a ".reg" file) and saves every string value found under that key
// into the settings tree, section by section. Everything else in the file is left out, and the
// report says what and why.
class RegistryImport {
public:
    // The key the Windows edition keeps its settings tree under; the section names are the
    // sub-key paths below it ("Program Setup", "PortConfig\Devices\3").
    static constexpr const char* kProgramKey =
        "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Vigiltron Manager";

    struct Imported {
        int line = 0;
        std::string section;
        std::string name;
    };

    struct Skipped {
        enum class Reason {
            OutsideProgramKey,  // a key the program does not own; its values go with it
            Deletion,           // "[-key]" or "name"=-: this import only adds
            NotAString,         // dword, hex, hex(n): the program keeps only strings
            DefaultValue,       // @=...: the program reads named values only
            UnusableName,       // empty, or holding a separator the store would take as a path
            NoKey,              // a value before any key line
            Malformed,          // a line that is none of the above
            NotSaved,           // the settings tree refused the value
        };
        int line = 0;
        Reason reason = Reason::Malformed;
        std::string what;    // the key or value name, or the offending text
        std::string detail;  // the value's type, or what is wrong with the line
    };

    struct Report {
        // Set when the bytes are not a registry export at all; nothing was saved then.
        std::string refusal;
        std::string header;  // "REGEDIT4" or "Windows Registry Editor Version 5.00"
        std::vector<Imported> imported;
        std::vector<Skipped> skipped;

        bool Refused() const { return !refusal.empty(); }
        int Count(Skipped::Reason reason) const;
        // The report as the user reads it: a summary line, then one line per value imported and
        // one per thing skipped, in file order.
        std::vector<std::string> Lines() const;
    };

    // `bytes` is the file as the registry editor wrote it: UTF-16LE with its byte-order mark
    // ("Windows Registry Editor Version 5.00"), or the ANSI code page Windows-1252 ("REGEDIT4").
    // Values are saved as UTF-8.
    static Report Import(std::string_view bytes, SettingsTree& settings);
};

}  // namespace vigiltron
