#include "app/CommandLine.h"

#include <cstdlib>
#include <vector>

namespace vigiltron {

namespace {

bool Contains(const std::string& text, const char* what) {
    return text.find(what) != std::string::npos;
}

}  // namespace

CommandLine CommandLine::Parse(int argc, const char* const* argv) {
    CommandLine cmd;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* option) -> std::optional<std::string> {
            if (i + 1 >= argc) {
                cmd.error = std::string(option) + " needs a value";
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        if (arg.rfind("--", 0) != 0) {
            words.push_back(arg);
        } else if (arg == "--help") {
            cmd.help = true;
        } else if (arg == "--version") {
            cmd.version = true;
        } else if (arg == "--headless") {
            cmd.headless = true;
        } else if (arg == "--demo") {
            cmd.demo = true;
        } else if (arg == "--simulate") {
            cmd.simulateFile = value("--simulate");
        } else if (arg == "--config-dir") {
            cmd.configDir = value("--config-dir");
        } else if (arg == "--virtual-time") {
            if (auto text = value("--virtual-time")) {
                char* end = nullptr;
                const double seconds = std::strtod(text->c_str(), &end);
                if (end == text->c_str() || *end != '\0' || !(seconds >= 0)) {
                    cmd.error = "--virtual-time needs a number of seconds, not \"" + *text + "\"";
                } else {
                    cmd.virtualTimeSeconds = seconds;
                }
            }
        } else if (arg == "--autodetect") {
            cmd.autoDetect = true;
        } else if (arg == "--regclean") {
            cmd.regClean = true;
        } else if (arg == "--nocams") {
            cmd.noCams = true;
        } else if (arg == "--minimize") {
            cmd.minimize = true;
        } else if (arg == "--vtservice") {
            cmd.vtService = true;
        } else if (arg == "--service") {
            cmd.service = true;
        } else {
            cmd.error = "unknown option " + arg;
        }
        if (!cmd.error.empty()) {
            return cmd;
        }
    }
    for (const auto& w : words) {
        cmd.windowsText += (cmd.windowsText.empty() ? "" : " ") + w;
    }
    const std::string& t = cmd.windowsText;
    // Case-sensitive substring tests of the whole text, as the Windows edition makes them.
    cmd.autoDetect = cmd.autoDetect || Contains(t, "/autodetect");
    cmd.regClean = cmd.regClean || Contains(t, "/RegClean") || Contains(t, "/REGCLEAN") ||
                   Contains(t, "/Regclean") || Contains(t, "/regclean");
    cmd.noCams = cmd.noCams || t == "/nocams";
    cmd.minimize = cmd.minimize || Contains(t, "/minimize");
    cmd.vtService = cmd.vtService || Contains(t, "/vtservice");
    cmd.service = cmd.service || Contains(t, "/service");
    if (cmd.virtualTimeSeconds && !cmd.headless) {
        cmd.error = "--virtual-time runs only with --headless";
    }
    if (cmd.demo && cmd.simulateFile) {
        cmd.error = "--demo and --simulate cannot be combined";
    }
    return cmd;
}

std::string CommandLine::HelpText() {
    return R"(Usage: vigiltron-manager [OPTION]... [SWITCH]...
Monitors Vigiltron sensors (temperature, humidity, combined, proximity, water,
accelerometer, distance) on serial ports: readings, alarms, logs.

Options:
  --headless            run without a window (no windowing or sound library is
                        loaded); every message, question (answered with its
                        default button), reading and status change is printed
                        as one journal line on standard output
  --simulate FILE       attach the simulated sensors of a scenario file instead of
                        real serial ports (format: docs/scenario-format.md)
  --demo                run the shipped demonstration scenario and device list;
                        your own settings are neither read nor changed, and its
                        files go to a temporary folder removed at the end
  --virtual-time SECS   with --headless: run SECS simulated seconds as fast as
                        possible, then exit
  --config-dir DIR      keep the settings, the preferences file and the program's
                        writable folder (logs, captures) under DIR
  --help                show this help and exit
  --version             show the version and exit

Switches (the Windows forms are accepted exactly as written):
  /autodetect   --autodetect   on a first run, start the sensor search at once
  /regclean     --regclean     show the "clean out the registry" menu entry
                               (also /RegClean, /REGCLEAN, /Regclean)
  /nocams       --nocams       skip camera start-up (/nocams only when it is the
                               whole command line)
  /minimize     --minimize     start with the main window minimised
  /vtservice    --vtservice    read preferences and the device count from the
                               preferences file (vigiltron.ini)
  /service      --service      load devices from the preferences file, connect
                               them all and go to the tray
)";
}

}  // namespace vigiltron
