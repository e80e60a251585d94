// zymdate's calls into zym.dll, each wrapped once so the rest of the library
// deals in std::string and owns no BSTR by hand.
#pragma once

#include <string>

namespace zymdate::zymcalls {

// zym's description of a Windows error code or a socket-layer error number.
std::string errorDescription(int errorNumber);

} // namespace zymdate::zymcalls
