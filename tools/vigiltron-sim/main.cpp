// vigiltron-sim: one simulated sensor or modem on a pseudo-terminal, for trying the real serial
// path of vigiltron-manager without hardware.

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <charconv>
#include <iostream>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "PtyBridge.h"
#include "platform/QtEventLoop.h"
#include "sim/Scenario.h"
#include "sim/ScenarioRunner.h"
#include "sim/SimulatedPortFactory.h"

namespace vigiltron {
namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kMaxComNumber = 256;

const char kUsage[] =
    "Usage: vigiltron-sim KIND [SETTING...] [--link PATH] [--verbose]\n"
    "       vigiltron-sim modem [MODEM-SETTING...] [--link PATH] [--verbose]\n"
    "       vigiltron-sim --scenario FILE [--com N] [SETTING...] [--link PATH] [--verbose]\n"
    "\n"
    "Serves one simulated sensor or Hayes modem on a pseudo-terminal and prints the device path\n"
    "to open (e.g. /dev/pts/5) on a line of its own. Map a COM number to that path in the Port\n"
    "Map and connect the sensor (or choose the modem's port in Paging Setup) in\n"
    "vigiltron-manager. Runs until interrupted (Ctrl+C or SIGTERM).\n"
    "\n"
    "KIND            temperature, humidity, combined, accelerometer or distance\n"
    "SETTING         a setting as in a scenario file: value=80, temperature=22.5C, humidity=55,\n"
    "                x=0.5, distance=none, delay=30ms, gap=5ms, interval=500ms, silent, error,\n"
    "                garbage, commands=reject ...\n"
    "modem           a modem for paging; MODEM-SETTING as in a scenario file:\n"
    "                answer=ok|busy|error|no-dial-tone|no-carrier|silent (what the dial gets),\n"
    "                delay=2s (how long the dial takes), digits=ok|error|... (what the page\n"
    "                digits get), echo=yes|no\n"
    "--scenario FILE take the sensor, its settings and its timed changes from a scenario file\n"
    "--com N         the sensor or modem of the scenario on COM N (needed when it has several)\n"
    "--link PATH     also make PATH a symbolic link to the device (e.g. /tmp/vigiltron-com3)\n"
    "--verbose       show every exchange on standard error, with times in milliseconds\n"
    "--help          show this text\n"
    "\n"
    "Proximity and water sensors signal only on the DSR and CD lines, which a pseudo-terminal\n"
    "cannot carry; try those with vigiltron-manager --simulate FILE.\n";

struct Options {
    std::vector<std::string> words;  // the kind (without a scenario), then settings
    std::string scenarioPath;
    std::optional<int> com;
    std::string linkPath;
    bool verbose = false;
    bool help = false;
};

// The device to serve: a sensor with its kind, starting settings and timed changes, or a modem.
struct Served {
    Scenario scenario;  // exactly one sensor or one modem
    int comNumber = 1;
    std::string origin;  // how it is named in messages
    bool modem = false;
};

struct Failure {
    int exitCode;
    std::string message;
};

std::optional<int> ParseComNumber(std::string_view text) {
    if (text.size() > 3 && (text.substr(0, 3) == "COM" || text.substr(0, 3) == "com")) {
        text.remove_prefix(3);
    }
    int number = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (ec != std::errc() || end != text.data() + text.size() || number < 1 ||
        number > kMaxComNumber) {
        return std::nullopt;
    }
    return number;
}

std::optional<Failure> ParseOptions(int argc, char** argv, Options& options) {
    const auto usage = [](std::string message) {
        return Failure{kExitUsage, std::move(message) + "\nTry 'vigiltron-sim --help'."};
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) {
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--verbose" || arg == "-v") {
            options.verbose = true;
        } else if (arg == "--scenario" || arg == "--link" || arg == "--com") {
            const auto given = value();
            if (!given || given->empty()) {
                return usage(arg + " needs a value");
            }
            if (arg == "--scenario") {
                options.scenarioPath = *given;
            } else if (arg == "--link") {
                options.linkPath = *given;
            } else if (const auto com = ParseComNumber(*given)) {
                options.com = *com;
            } else {
                return usage("bad COM number '" + *given + "' (expected 1 to 256)");
            }
        } else if (arg.starts_with("-")) {
            return usage("unknown option '" + arg + "'");
        } else if (arg.find_first_of(" \t\r\n#") != std::string::npos) {
            // One argument is one setting; a blank or '#' would split or cut it silently.
            return usage("bad setting '" + arg + "' (no blanks or '#' inside a setting)");
        } else {
            options.words.push_back(arg);
        }
    }
    return std::nullopt;
}

std::optional<Failure> RefuseLineOnly(SensorKind kind) {
    if (kind == SensorKind::Proximity || kind == SensorKind::Water) {
        const std::string name(SensorKindName(kind));
        const char* line = kind == SensorKind::Proximity ? "DSR" : "CD";
        return Failure{kExitUsage, "a " + name + " sensor signals only on the " + line +
                                       " line, which a pseudo-terminal cannot carry; try it with "
                                       "vigiltron-manager --simulate FILE instead"};
    }
    return std::nullopt;
}

// Parses the settings written on the command line from `first` on, as the rest of the scenario
// line `head`, with the scenario file's own rules.
template <class Setting>
std::optional<Failure> ParseSettings(std::string head, const std::vector<std::string>& words,
                                     std::size_t first, std::vector<Setting>& out) {
    if (first >= words.size()) {
        return std::nullopt;
    }
    for (std::size_t i = first; i < words.size(); ++i) {
        head += " " + words[i];
    }
    const ScenarioParseResult parsed = ParseScenario(head, "command line");
    if (!parsed.Ok()) {
        const std::string prefix = "command line:1: ";
        std::string error = parsed.error;
        if (error.starts_with(prefix)) {
            error.erase(0, prefix.size());
        }
        return Failure{kExitUsage, error};
    }
    const std::vector<Setting>* settings = nullptr;
    if constexpr (std::is_same_v<Setting, ModemSetting>) {
        settings = &parsed.scenario->modems.front().settings;
    } else {
        settings = &parsed.scenario->sensors.front().settings;
    }
    out.insert(out.end(), settings->begin(), settings->end());
    return std::nullopt;
}

// The head of a scenario line for a sensor of `kind`.
std::string SensorHead(SensorKind kind) {
    return "sensor COM1 " + std::string(SensorKindName(kind));
}

std::optional<Failure> FromCommandLine(const Options& options, Served& served) {
    if (options.words.empty()) {
        return Failure{kExitUsage,
                       "which sensor? Give a kind or --scenario FILE\nTry "
                       "'vigiltron-sim --help'."};
    }
    if (options.com) {
        return Failure{kExitUsage, "--com chooses a sensor of a scenario; use it with --scenario"};
    }
    if (options.words[0] == "modem") {
        ScenarioModem modem{1, {}, 0};
        if (auto error = ParseSettings("modem COM1", options.words, 1, modem.settings)) {
            return error;
        }
        served.scenario.modems.push_back(std::move(modem));
        served.comNumber = 1;
        served.origin = "modem";
        served.modem = true;
        return std::nullopt;
    }
    const auto kind = SensorKindFromName(options.words[0]);
    if (!kind) {
        return Failure{kExitUsage, "unknown sensor kind '" + options.words[0] +
                                       "' (expected temperature, humidity, combined, "
                                       "accelerometer, distance or modem)"};
    }
    if (auto refused = RefuseLineOnly(*kind)) {
        return refused;
    }
    ScenarioSensor sensor{1, *kind, {}, 0};
    if (auto error = ParseSettings(SensorHead(*kind), options.words, 1, sensor.settings)) {
        return error;
    }
    served.scenario.sensors.push_back(std::move(sensor));
    served.comNumber = 1;
    served.origin = std::string(SensorKindName(*kind)) + " sensor";
    return std::nullopt;
}

std::optional<Failure> FromScenario(const Options& options, Served& served) {
    const ScenarioParseResult loaded = LoadScenarioFile(options.scenarioPath);
    if (!loaded.Ok()) {
        return Failure{kExitUsage, loaded.error};
    }
    const Scenario& all = *loaded.scenario;
    const ScenarioSensor* chosen = nullptr;
    const ScenarioModem* chosenModem = nullptr;
    if (options.com) {
        for (const ScenarioSensor& sensor : all.sensors) {
            if (sensor.comNumber == *options.com) {
                chosen = &sensor;
            }
        }
        for (const ScenarioModem& modem : all.modems) {
            if (modem.comNumber == *options.com) {
                chosenModem = &modem;
            }
        }
        if (chosen == nullptr && chosenModem == nullptr) {
            return Failure{kExitUsage, options.scenarioPath + ": no sensor on COM" +
                                           std::to_string(*options.com)};
        }
    } else if (all.sensors.size() + all.modems.size() == 1) {
        if (all.sensors.empty()) {
            chosenModem = &all.modems.front();
        } else {
            chosen = &all.sensors.front();
        }
    } else {
        std::vector<int> coms;
        for (const ScenarioSensor& sensor : all.sensors) {
            coms.push_back(sensor.comNumber);
        }
        for (const ScenarioModem& modem : all.modems) {
            coms.push_back(modem.comNumber);
        }
        std::sort(coms.begin(), coms.end());
        std::string list;
        for (const int com : coms) {
            list += (list.empty() ? "" : ", ") + std::string("COM") + std::to_string(com);
        }
        return Failure{
            kExitUsage,
            options.scenarioPath +
                (coms.empty()
                     ? ": declares no sensor"
                     : ": choose one " + std::string(all.modems.empty() ? "sensor" : "device") +
                           " with --com (" + list + ")")};
    }
    if (chosenModem != nullptr) {
        ScenarioModem modem = *chosenModem;
        if (auto error = ParseSettings("modem COM1", options.words, 0, modem.settings)) {
            return error;
        }
        served.scenario.modems.push_back(modem);
        served.comNumber = modem.comNumber;
        served.origin =
            "modem of " + options.scenarioPath + " on COM" + std::to_string(modem.comNumber);
        served.modem = true;
        return std::nullopt;
    }
    if (auto refused = RefuseLineOnly(chosen->kind)) {
        return Failure{refused->exitCode,
                       "COM" + std::to_string(chosen->comNumber) + ": " + refused->message};
    }
    ScenarioSensor sensor = *chosen;
    if (auto error = ParseSettings(SensorHead(sensor.kind), options.words, 0, sensor.settings)) {
        return error;
    }
    served.scenario.sensors.push_back(sensor);
    for (const ScenarioStep& step : all.steps) {
        if (step.comNumber == sensor.comNumber) {
            served.scenario.steps.push_back(step);
        }
    }
    served.comNumber = sensor.comNumber;
    served.origin = std::string(SensorKindName(sensor.kind)) + " sensor of " +
                    options.scenarioPath + " on COM" + std::to_string(sensor.comNumber);
    return std::nullopt;
}

// Makes `linkPath` point at `target`. An old link (from an earlier run) is replaced; anything
// else at that path is left alone.
std::optional<Failure> MakeLink(const std::string& linkPath, const std::string& target) {
    struct stat info {};
    if (::lstat(linkPath.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            return Failure{kExitFailure,
                           linkPath + " exists and is not a symbolic link; not replacing it"};
        }
        ::unlink(linkPath.c_str());
    }
    if (::symlink(target.c_str(), linkPath.c_str()) != 0) {
        return Failure{kExitFailure,
                       "cannot make the link " + linkPath + ": " + std::string(::strerror(errno))};
    }
    return std::nullopt;
}

// Removes the link only while it still points at our device: another run may have taken it over.
void RemoveLink(const std::string& linkPath, const std::string& target) {
    char buffer[4096];
    const ssize_t n = ::readlink(linkPath.c_str(), buffer, sizeof buffer);
    if (n > 0 && std::string(buffer, std::size_t(n)) == target) {
        ::unlink(linkPath.c_str());
    }
}

// Signals end the program through a pipe that the event loop watches.
int gSignalPipe[2] = {-1, -1};

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &byte, 1);
    errno = saved;
}

bool CatchStopSignals() {
    if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        if (::sigaction(signal, &action, nullptr) != 0) {
            return false;
        }
    }
    return true;
}

int Fail(const Failure& failure) {
    std::cerr << "vigiltron-sim: " << failure.message << std::endl;
    return failure.exitCode;
}

int Run(int argc, char** argv) {
    Options options;
    if (auto failure = ParseOptions(argc, argv, options)) {
        return Fail(*failure);
    }
    if (options.help) {
        std::cout << kUsage;
        return 0;
    }
    Served served;
    if (auto failure = options.scenarioPath.empty() ? FromCommandLine(options, served)
                                                    : FromScenario(options, served)) {
        return Fail(*failure);
    }
    if (!CatchStopSignals()) {
        return Fail({kExitFailure, "cannot catch signals: " + std::string(::strerror(errno))});
    }

    QCoreApplication app(argc, argv);
    QtEventLoop loop;
    SimulatedPortFactory factory(loop);
    ScenarioRunner runner(loop, factory);
    const auto note = [](const std::string& line) {
        std::cerr << "vigiltron-sim: " << line << std::endl;
    };
    PtyBridge bridge(loop, factory, served.comNumber, note, options.verbose);
    if (served.modem) {
        bridge.SetDeviceWord("modem");
    }
    std::string error;
    if (!bridge.Start(&error)) {
        return Fail({kExitFailure, error});
    }
    if (!options.linkPath.empty()) {
        if (auto failure = MakeLink(options.linkPath, bridge.SlavePath())) {
            return Fail(*failure);
        }
    }
    // Timed changes count from here, when the sensor can first be reached.
    runner.Start(served.scenario);

    QSocketNotifier stop(gSignalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });

    std::cout << bridge.SlavePath() << std::endl;
    note(served.origin + " on " + bridge.SlavePath() +
         (options.linkPath.empty() ? "" : " (linked as " + options.linkPath + ")") +
         "; Ctrl+C stops");
    app.exec();

    if (!options.linkPath.empty()) {
        RemoveLink(options.linkPath, bridge.SlavePath());
    }
    if (options.verbose) {
        note("stopped");
    }
    return 0;
}

}  // namespace
}  // namespace vigiltron

int main(int argc, char** argv) {
    return vigiltron::Run(argc, argv);
}
