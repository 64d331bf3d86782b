#pragma once

#include <ostream>
#include <string>

#include "app/CommandLine.h"
#include "app/Program.h"

namespace vigiltron {

class Engine;
class ScenarioRunner;

// One configure operation of the command line (--list, --import-settings, --add, ...), run on a
// wired engine whose sensors are never started. What the operation has to say goes to `out` as
// plain lines; the engine's own messages come through its (headless) dialogs and journal.
class ConfigureCommand {
public:
    // `scenario` is the simulated sensors of --simulate, or null for real ports.
    ConfigureCommand(Engine& engine, const CommandLine& cmd, const ProgramPaths& paths,
                     const ScenarioRunner* scenario, std::ostream& out);

    // 0 when the operation was done, 1 when it was refused.
    int Run();

private:
    // ---- The operations that change the device list or the preferences. ----
    // One case per operation; each loads the configuration first (Load()).
    int RunEngineOperation(const ConfigureRequest& request);

    // Loads the preferences and the device list as start-up would with these switches.
    bool Load();
    // --test-mail: the test mail through the configured route; true when it was taken.
    bool SendTestMail();
    // --publish-now: one remote-monitoring update; true when the page was delivered.
    bool PublishNow();
    int ImportSettings();
    int List();
    // --history [--since TIME]: the alarm history of the log directory a run would use.
    int History();
    void ListDevices();
    void ListPreferences();
    // Where COM n leads on this run: a simulated sensor or a device path.
    std::string PortTarget(int comNumber) const;

    Engine& engine_;
    const CommandLine& cmd_;
    const ProgramPaths& paths_;
    const ScenarioRunner* scenario_;
    std::ostream& out_;
};

// --ack and --snooze: hands the request to the program running on the configuration of `paths`
// through its control socket and prints the answer. Returns 0 when it was done, 1 when it was
// refused or not answered in time, 2 when no program runs on that configuration.
int SendToRunningProgram(const ConfigureRequest& request, const ProgramPaths& paths,
                         std::ostream& out);

// Builds the engine the way a run does (settings tree, machine settings, preferences file,
// simulated or real ports) and runs the configure operation of `cmd`. Returns the exit status:
// 0 done, 1 refused, 2 when the scenario file of --simulate is unusable.
int RunConfigureCommand(const CommandLine& cmd, const ProgramPaths& paths);

}  // namespace vigiltron
