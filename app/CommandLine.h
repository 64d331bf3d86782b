#pragma once

#include <optional>
#include <string>

namespace vigiltron {

// The program's command line: the Windows-style switches (tested the way the Windows edition
// tests them, as substrings of the whole command-line text) and their Linux "--long" forms, plus
// the options of this edition (headless, simulation, virtual time, demo, configuration folder).
struct CommandLine {
    // Words that are not "--" options, joined by single blanks, as the Windows edition saw them.
    std::string windowsText;

    bool autoDetect = false;  // "/autodetect"
    bool regClean = false;    // "/RegClean", "/REGCLEAN", "/Regclean", "/regclean"
    bool noCams = false;      // exactly "/nocams", or --nocams
    bool minimize = false;    // "/minimize"
    bool vtService = false;   // "/vtservice": preferences and device count from the profile file
    bool service = false;     // "/service": load devices from the profile file, connect, tray

    bool help = false;
    bool version = false;
    bool headless = false;
    bool demo = false;
    std::optional<std::string> simulateFile;
    std::optional<double> virtualTimeSeconds;
    std::optional<std::string> configDir;

    std::string error;  // set when the command line cannot be used

    static CommandLine Parse(int argc, const char* const* argv);
    static std::string HelpText();
};

}  // namespace vigiltron
