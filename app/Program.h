#pragma once

#include <string>

#include "app/CommandLine.h"

namespace vigiltron {

// Where the program keeps its files for one run.
struct ProgramPaths {
    std::string configDirectory;    // settings tree file and the preferences file
    std::string applicationFolder;  // logs, captures
    std::string settingsFile;
    std::string machineSettingsFile;  // empty: the system-wide one
    // The demo's own folder, made for this run and removed at its end; empty when the files are
    // kept (always, unless the demo runs without --config-dir).
    std::string temporaryFolder;
};

ProgramPaths ResolvePaths(const CommandLine& cmd);

// Runs the program as the command line asks. Returns the process exit code.
int RunProgram(const CommandLine& cmd, int argc, char** argv);

}  // namespace vigiltron
