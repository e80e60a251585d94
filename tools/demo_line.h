// The lines the demo server sends: the PC clock's UTC time as a Daytime line in
// the NIST layout (ending in the on-time marker and a space, as real servers
// send it) or as a four-byte Time protocol value.
#pragma once

#include <string>

namespace tw::demo {

std::string daytimeLine();
std::string timeProtocolBytes();

} // namespace tw::demo
