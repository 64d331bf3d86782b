#pragma once

#include "app/MainWindowCommands.h"

namespace vigiltron {

class Clock;
class Engine;

// The main window's commands, each forwarded to the part of the engine that decides what it
// does. The engine and the clock must outlive the commands.
MainWindowCommands MainWindowCommandsFor(Engine& engine, Clock& clock);

}  // namespace vigiltron
