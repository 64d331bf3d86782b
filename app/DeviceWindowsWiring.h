#pragma once

#include "app/DeviceWindowsCommands.h"

namespace vigiltron {

class Engine;

// The add window's and the scan list's commands over the engine. The engine must outlive them.
DeviceWindowsCommands DeviceWindowsCommandsFor(Engine& engine);

}  // namespace vigiltron
