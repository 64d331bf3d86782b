#pragma once

#include <string>

namespace vigiltron {

// A file shipped with the program (demo scenario, sounds, pictures, the status page's
// stylesheet): under $VIGILTRON_RESOURCES when set, next to the installed program, or in the
// source tree when run from a build directory.
std::string ResourcePath(const std::string& name);

// The stylesheet published beside the status page: the user's own "vtman.xsl" in the
// application folder when there is one, else the shipped one.
std::string StatusPageStylesheet(const std::string& applicationFolder);

}  // namespace vigiltron
