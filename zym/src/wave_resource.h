// Sounds kept as wave resources of a module.
#pragma once

#include <windows.h>

#include <string>

namespace zym {

// Finds the resource name of type type in module (the program file when module is
// NULL) and starts playing it without waiting. True when a playable wave was found
// and handed to the system; whether a sound device played it is not known. The
// resource stays mapped while the module is loaded, which asynchronous play needs.
bool playWaveResource(HMODULE module, const std::string& name, const std::string& type);

} // namespace zym
