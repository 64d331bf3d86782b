#include "app/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <iterator>
#include <tuple>
#include <vector>

#include "app/AlarmControl.h"
#include "reporting/AlarmHistory.h"

namespace vigiltron {

namespace {

bool Contains(const std::string& text, const char* what) {
    return text.find(what) != std::string::npos;
}

constexpr const char* kSensorKinds[] = {"temperature", "humidity",      "combined", "proximity",
                                        "water",       "accelerometer", "distance"};

std::optional<int> WholeNumber(const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

// "COM3" (any letter case) as 3; COM1 to COM256, the numbers a port can have.
std::optional<int> ComNumber(const std::string& text) {
    if (text.size() < 4 || std::toupper(static_cast<unsigned char>(text[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(text[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(text[2])) != 'M') {
        return std::nullopt;
    }
    return WholeNumber(text.substr(3), 1, 256);
}

// The checks that need the whole command line: modifiers without their operation, and a
// configure operation mixed with a normal run.
std::string ConfigureError(const CommandLine& cmd, const std::vector<std::string>& words) {
    const ConfigureRequest& c = cmd.configure;
    if (c.allPorts && c.operation != ConfigureOperation::Scan &&
        c.operation != ConfigureOperation::AddFound) {
        return "--all-ports goes with --scan or --add-found";
    }
    for (const auto& [given, option, kind, kindText] :
         {std::tuple{c.bump, "--bump", "accelerometer", "an accelerometer"},
          std::tuple{c.calibrate, "--calibrate", "accelerometer", "an accelerometer"},
          std::tuple{c.proximityMode, "--proximity-mode", "distance", "a distance sensor"}}) {
        if (!given) {
            continue;
        }
        if (c.operation != ConfigureOperation::Add) {
            return std::string(option) + " goes with --add";
        }
        if (c.kind != kind) {
            return std::string(option) + " is for " + kindText + ", not for " + c.kind;
        }
    }
    if (!c.since.empty() && c.operation != ConfigureOperation::History) {
        return "--since goes with --history";
    }
    if (c.operation == ConfigureOperation::None) {
        return "";
    }
    const std::string op = ConfigureOptionName(c.operation);
    const char* normalRun = cmd.headless             ? "--headless"
                            : cmd.demo               ? "--demo"
                            : cmd.virtualTimeSeconds ? "--virtual-time"
                            : cmd.autoDetect         ? "--autodetect"
                            : cmd.regClean           ? "--regclean"
                            : cmd.noCams             ? "--nocams"
                            : cmd.minimize           ? "--minimize"
                                                     : nullptr;
    for (const auto& word : words) {
        // The two switches that choose where the configuration is read from keep their meaning.
        if (word != "/vtservice" && word != "/service") {
            const bool named =
                c.operation == ConfigureOperation::Add || c.operation == ConfigureOperation::Rename;
            const char* hint = named ? " (put a NAME with blanks in quotes)"
                               : c.operation == ConfigureOperation::Acknowledge
                                   ? " (put a COMMENT with blanks in quotes)"
                                   : "";
            return "unexpected argument \"" + word + "\" with " + op + hint;
        }
    }
    if (normalRun) {
        return op + " cannot be combined with " + normalRun +
               ": it changes or shows the configuration and exits without running the program";
    }
    return "";
}

}  // namespace

std::string ConfigureOptionName(ConfigureOperation operation) {
    switch (operation) {
        case ConfigureOperation::None:
            return "";
        case ConfigureOperation::Scan:
            return "--scan";
        case ConfigureOperation::Add:
            return "--add";
        case ConfigureOperation::AddFound:
            return "--add-found";
        case ConfigureOperation::Rename:
            return "--rename";
        case ConfigureOperation::Move:
            return "--move";
        case ConfigureOperation::Remove:
            return "--remove";
        case ConfigureOperation::Set:
            return "--set";
        case ConfigureOperation::List:
            return "--list";
        case ConfigureOperation::ImportSettings:
            return "--import-settings";
        case ConfigureOperation::TestMail:
            return "--test-mail";
        case ConfigureOperation::TestPage:
            return "--test-page";
        case ConfigureOperation::PublishNow:
            return "--publish-now";
        case ConfigureOperation::History:
            return "--history";
        case ConfigureOperation::Acknowledge:
            return "--ack";
        case ConfigureOperation::Snooze:
            return "--snooze";
    }
    return "";
}

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
        // The `count` words after an option; `form` says what they are in the error.
        auto values = [&](int count, const char* form) -> std::optional<std::vector<std::string>> {
            if (i + count >= argc) {
                cmd.error = arg + " needs " + form;
                return std::nullopt;
            }
            std::vector<std::string> taken;
            for (int k = 0; k < count; ++k) {
                taken.push_back(argv[++i]);
            }
            return taken;
        };
        // One operation per call; --set alone may come several times.
        auto operation = [&](ConfigureOperation op) {
            ConfigureOperation& current = cmd.configure.operation;
            if (current == ConfigureOperation::None ||
                (current == op && op == ConfigureOperation::Set)) {
                current = op;
                return true;
            }
            cmd.error = current == op ? arg + " can be given only once"
                                      : ConfigureOptionName(current) + " and " + arg +
                                            " cannot be combined: one operation per call (only "
                                            "--set may be given several times)";
            return false;
        };
        auto setupIndex = [&](const std::string& text) {
            const std::optional<int> n = WholeNumber(text, 1, 10);
            if (!n) {
                cmd.error = arg + " needs a setup index from 1 to 10, not \"" + text + "\"";
            }
            return n.value_or(0);
        };
        auto comNumber = [&](const std::string& text) {
            const std::optional<int> n = ComNumber(text);
            if (!n) {
                cmd.error = arg + " needs a port as COMn (COM1 to COM256), not \"" + text + "\"";
            }
            return n.value_or(0);
        };
        // A forgotten NAME would otherwise swallow the option after it.
        auto deviceName = [&](const std::string& text) {
            if (text.rfind("--", 0) == 0) {
                cmd.error = arg + " needs a NAME, and \"" + text + "\" is an option";
            }
            return text;
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
        } else if (arg == "--screenshots") {
            cmd.screenshotDirectory = value("--screenshots");
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
        } else if (arg == "--scan") {
            operation(ConfigureOperation::Scan);
        } else if (arg == "--all-ports") {
            cmd.configure.allPorts = true;
        } else if (arg == "--add") {
            if (operation(ConfigureOperation::Add)) {
                if (const auto v = values(3, "KIND COMn NAME")) {
                    const std::string& kind = (*v)[0];
                    if (std::find(std::begin(kSensorKinds), std::end(kSensorKinds), kind) ==
                        std::end(kSensorKinds)) {
                        cmd.error =
                            "--add needs a KIND of temperature, humidity, combined, "
                            "proximity, water, accelerometer or distance, not \"" +
                            kind + "\"";
                    }
                    cmd.configure.kind = kind;
                    cmd.configure.comNumber = comNumber((*v)[1]);
                    cmd.configure.name = deviceName((*v)[2]);
                }
            }
        } else if (arg == "--bump") {
            cmd.configure.bump = true;
        } else if (arg == "--calibrate") {
            cmd.configure.calibrate = true;
        } else if (arg == "--proximity-mode") {
            cmd.configure.proximityMode = true;
        } else if (arg == "--add-found") {
            operation(ConfigureOperation::AddFound);
        } else if (arg == "--rename") {
            if (operation(ConfigureOperation::Rename)) {
                if (const auto v = values(2, "N NAME")) {
                    cmd.configure.setupIndex = setupIndex((*v)[0]);
                    cmd.configure.name = deviceName((*v)[1]);
                }
            }
        } else if (arg == "--move") {
            if (operation(ConfigureOperation::Move)) {
                if (const auto v = values(2, "N COMm")) {
                    cmd.configure.setupIndex = setupIndex((*v)[0]);
                    cmd.configure.comNumber = comNumber((*v)[1]);
                }
            }
        } else if (arg == "--remove") {
            if (operation(ConfigureOperation::Remove)) {
                if (const auto v = values(1, "N")) {
                    cmd.configure.setupIndex = setupIndex((*v)[0]);
                }
            }
        } else if (arg == "--set") {
            if (operation(ConfigureOperation::Set)) {
                if (const auto v = values(1, "KEY=VALUE")) {
                    const std::string& pair = (*v)[0];
                    const auto equals = pair.find('=');
                    if (equals == std::string::npos || equals == 0) {
                        cmd.error = "--set needs KEY=VALUE, not \"" + pair + "\"";
                    } else {
                        cmd.configure.settings.emplace_back(pair.substr(0, equals),
                                                            pair.substr(equals + 1));
                    }
                }
            }
        } else if (arg == "--list") {
            operation(ConfigureOperation::List);
        } else if (arg == "--test-mail") {
            operation(ConfigureOperation::TestMail);
        } else if (arg == "--test-page") {
            operation(ConfigureOperation::TestPage);
        } else if (arg == "--publish-now") {
            operation(ConfigureOperation::PublishNow);
        } else if (arg == "--history") {
            operation(ConfigureOperation::History);
        } else if (arg == "--since") {
            if (const auto v = values(1, "TIME")) {
                // Checked now, so that a slip is told before anything is read.
                if (!ParseHistoryTime((*v)[0], LocalDateTime{})) {
                    cmd.error =
                        "--since needs a TIME such as 2026-12-09, 2026-12-09T14:30, 24h "
                        "or 7d, not \"" +
                        (*v)[0] + "\"";
                }
                cmd.configure.since = (*v)[0];
            }
        } else if (arg == "--ack") {
            if (operation(ConfigureOperation::Acknowledge)) {
                if (const auto v = values(1, "N")) {
                    cmd.configure.setupIndex = setupIndex((*v)[0]);
                    // The optional COMMENT: the next word, unless it is an option.
                    if (i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0) {
                        cmd.configure.comment = argv[++i];
                    }
                }
            }
        } else if (arg == "--snooze") {
            if (operation(ConfigureOperation::Snooze)) {
                if (const auto v = values(2, "N DURATION")) {
                    cmd.configure.setupIndex = setupIndex((*v)[0]);
                    cmd.configure.snoozeUntil = (*v)[1];
                    if (cmd.error.empty() && !ParseSnoozeDuration((*v)[1])) {
                        cmd.error =
                            "--snooze needs a DURATION such as 15m, 1h or 8h (up to 7 days), "
                            "normal (until back to normal) or off, not \"" +
                            (*v)[1] + "\"";
                    }
                }
            }
        } else if (arg == "--import-settings") {
            if (operation(ConfigureOperation::ImportSettings)) {
                if (const auto v = values(1, "FILE")) {
                    cmd.configure.file = (*v)[0];
                }
            }
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
    if (cmd.screenshotDirectory && cmd.headless) {
        cmd.error = "--screenshots needs the windows; it cannot run with --headless";
    }
    if (cmd.virtualTimeSeconds && !cmd.headless) {
        cmd.error = "--virtual-time runs only with --headless";
    }
    if (cmd.demo && cmd.simulateFile) {
        cmd.error = "--demo and --simulate cannot be combined";
    }
    if (cmd.error.empty()) {
        cmd.error = ConfigureError(cmd, words);
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
  --screenshots DIR     with a window: walk through the windows (Summary, a sensor
                        tab, each page of the setup window, the add window and
                        scan list, an alarm, the tray menu, a history chart),
                        save a PNG of each in DIR, then exit; made for --demo
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

Configuring without a window: one operation per call (--set may be given several
times), with --config-dir, --simulate, /vtservice and /service as for a run. The
sensors are not started; every message is printed, and the exit status is 0 when
the operation was done, 1 when it was refused.
  --scan [--all-ports]  ask every port from COM1 to COM16 (--all-ports: to COM256)
                        which sensor answers
  --add KIND COMn NAME [--bump] [--calibrate] [--proximity-mode]
                        add a sensor of KIND (temperature, humidity, combined,
                        proximity, water, accelerometer, distance) on COMn;
                        an accelerometer may start in bump mode (--bump) and
                        calibrate on connection (--calibrate), a distance sensor
                        may start in proximity mode (--proximity-mode)
  --add-found [--all-ports]
                        add every sensor a scan finds, as the scan list's
                        "Add selected" does
  --rename N NAME       rename the device at setup index N
  --move N COMm         move the device at setup index N to COMm
  --remove N            remove the device at setup index N (a combined sensor:
                        both halves)
  --set KEY=VALUE       change a preference by its stored name through the setup
                        window's rules, e.g. --set TempMax=85, --set ForC=C
                        (converts the thresholds), --set ReadingInterval=10
  --list                show the configured devices (setup index, kind, name,
                        port, slot, logging) and the preferences in force; with
                        /vtservice the preferences of vigiltron.ini
  --import-settings FILE
                        import the settings of a Windows installation: FILE is
                        the registry editor's export (.reg) of the key
                        HKEY_CURRENT_USER\Software\VB and VBA Program Settings\
                        Vigiltron Manager
  --test-mail           send the test e-mail through the configured route and print
                        its status lines; exit status 0 only when the server (or the
                        mail command) took it
  --test-page           dial the pager number once through the modem ("&Numeric Pager
                        Test"); exit status 0 only when the modem confirmed the page
  --history [--since TIME]
                        print the alarm history (alarms.csv in the log directory:
                        alarms, OK notices, acknowledgements, snoozes,
                        escalations), one record a line, oldest first; TIME is
                        a date (2026-12-09), a date and time (2026-12-09T14:30)
                        or a span back from now (24h, 7d); exit status 1 when
                        the history cannot be read
  --ack N [COMMENT]     acknowledge the alarm of the sensor at setup index N in
                        the program running on this configuration (windowed or
                        headless), with an optional COMMENT; it goes to the alarm
                        history and the journal, and the alarm's sound and
                        repeated alerts stop
  --snooze N DURATION   hold the alerts of the sensor at setup index N in the
                        running program for DURATION: 15m, 1h, 8h (any number of
                        minutes or hours up to 7 days), normal (until it is back
                        to normal) or off (ends the snooze); it is still read and
                        logged. Like --ack it prints the program's answer; exit
                        status 0 when done, 1 when refused, 2 when no program
                        runs on this configuration
  --publish-now         write the status page and send it to the remote-monitoring
                        FTP server once (logging in and out as needed), printing
                        the FTP message log; exit status 0 only when the server
                        confirmed the upload (or, with a local directory, when
                        the page was stored there)
)";
}

}  // namespace vigiltron
