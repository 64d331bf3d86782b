#pragma once

#include "app/ContactWindowsCommands.h"

namespace vigiltron {

class Engine;

// The contact setup windows' commands, bound to the engine's rules. The modem, SMTP test and
// SMTP log commands have no transport yet and stay empty. The engine must outlive the commands.
ContactWindowsCommands ContactWindowsCommandsFor(Engine& engine);

}  // namespace vigiltron
