// zymdate's calls into zym.dll, wrapped once.
#pragma once

#include <string>

namespace zymdate {

// zym's description of a Windows error code or a socket-layer error number.
std::string errorDescription(int errorNumber);

} // namespace zymdate
