#pragma once

#include "app/ContactWindowsCommands.h"

namespace vigiltron {

class Engine;

// The contact setup windows' commands, bound to the engine's rules and transports. The engine
// must outlive the commands.
ContactWindowsCommands ContactWindowsCommandsFor(Engine& engine);

}  // namespace vigiltron
