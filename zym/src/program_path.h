// Where the running program lies.
#pragma once

#include <string>

namespace zym {

// Full path of the program file of this process.
std::string exeName();

// The program's directory, ending in a path separator.
std::string appPath();

} // namespace zym
