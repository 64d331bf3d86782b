#pragma once

#include <memory>
#include <string>

#include "app/DesktopFrontEnd.h"

namespace vigiltron {

// The desktop module: the shared library beside the program that holds the windows, the dialogs
// and the alert sound (Qt Widgets, Gui and Multimedia), loaded only for a windowed run.
struct LoadedDesktop {
    std::unique_ptr<DesktopFrontEnd> frontEnd;  // nothing when the module cannot be used
    std::string error;                          // then: the dynamic loader's own words
};

// Beside the program's own file (links resolved), both in the build folder and once installed.
std::string DesktopModulePath(const char* argv0);

// Loads the module and makes its front-end. The module is never unloaded: the Qt objects it
// makes live until the process ends.
LoadedDesktop LoadDesktopFrontEnd(const std::string& path);

}  // namespace vigiltron
