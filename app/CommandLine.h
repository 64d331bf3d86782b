#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vigiltron {

// The operations that change or show the stored configuration without a window: each runs once,
// without starting the sensors, and the program exits.
enum class ConfigureOperation {
    None,
    Scan,            // --scan [--all-ports]
    Add,             // --add KIND COMn NAME [--bump] [--calibrate] [--proximity-mode]
    AddFound,        // --add-found
    Rename,          // --rename N NAME
    Move,            // --move N COMm
    Remove,          // --remove N
    Set,             // --set KEY=VALUE, repeatable
    List,            // --list
    ImportSettings,  // --import-settings FILE
    TestMail,        // --test-mail
    TestPage,        // --test-page
    PublishNow,      // --publish-now
    History,         // --history [--since TIME]
    // Requests to the program running on the same configuration, through its control socket.
    Acknowledge,  // --ack N [COMMENT]
    Snooze,       // --snooze N DURATION
};

// The option that asks for `operation` ("--scan", ...); empty for None.
std::string ConfigureOptionName(ConfigureOperation operation);

// What a configure operation works on, as the command line gave it.
struct ConfigureRequest {
    ConfigureOperation operation = ConfigureOperation::None;
    bool allPorts = false;       // --scan: COM1 to COM256 instead of COM1 to COM16
    std::string kind;            // --add: temperature humidity combined proximity water
                                 //        accelerometer distance
    int comNumber = 0;           // --add, --move: 1..256
    std::string name;            // --add, --rename
    bool bump = false;           // --add accelerometer: starts in bump mode
    bool calibrate = false;      // --add accelerometer: calibrates on connection
    bool proximityMode = false;  // --add distance: starts in proximity mode
    int setupIndex = 0;          // --rename, --move, --remove, --ack, --snooze: 1..10
    std::vector<std::pair<std::string, std::string>> settings;  // --set, in the order given
    std::string file;                                           // --import-settings
    std::string since;    // --history: the TIME of --since, as given (checked); empty: everything
    std::string comment;  // --ack: may be empty
    std::string snoozeUntil;  // --snooze: the DURATION as given (checked)
};

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
    // --screenshots DIR: the windowed run saves a picture of each window there, then ends.
    std::optional<std::string> screenshotDirectory;
    ConfigureRequest configure;

    std::string error;  // set when the command line cannot be used

    static CommandLine Parse(int argc, const char* const* argv);
    static std::string HelpText();
};

}  // namespace vigiltron
