#include <iostream>

#include "app/CommandLine.h"
#include "app/Program.h"

int main(int argc, char** argv) {
    const vigiltron::CommandLine cmd = vigiltron::CommandLine::Parse(argc, argv);
    if (!cmd.error.empty()) {
        std::cerr << "vigiltron-manager: " << cmd.error << "\n"
                  << "Try 'vigiltron-manager --help'.\n";
        return 2;
    }
    if (cmd.help) {
        std::cout << vigiltron::CommandLine::HelpText();
        return 0;
    }
    if (cmd.version) {
        std::cout << "vigiltron-manager " << VIGILTRON_VERSION << "\n";
        return 0;
    }
    return vigiltron::RunProgram(cmd, argc, argv);
}
