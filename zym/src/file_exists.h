// Whether a file is there.
#pragma once

#include <string>

namespace zym {

// True when path names an existing file (a directory is not a file).
bool fileExists(const std::string& path);

} // namespace zym
