#pragma once

#include "app/SetupWindowCommands.h"

namespace vigiltron {

class Engine;

// The setup window's commands as the engine carries them out. The engine must outlive the
// commands. Left empty for the program to fill: addDevice, openEmailSetup, openPagingSetup,
// openRemoteMonitoring and placeInTray (their windows and the tray belong to the desktop).
SetupWindowCommands SetupWindowCommandsFor(Engine& engine);

}  // namespace vigiltron
