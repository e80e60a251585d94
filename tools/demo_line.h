// The lines the demo server sends: the PC clock's UTC time as a Daytime line in
// the NIST layout (ending in the on-time marker and a space, as real servers
// send it) or as a four-byte Time protocol value.
#pragma once

#include <string>

namespace tw::demo {

// offsetSeconds moves the time served away from the PC clock (a server that
// disagrees with this PC, so that the difference and a clock set show something).
std::string daytimeLine(int offsetSeconds = 0);
std::string timeProtocolBytes(int offsetSeconds = 0);

} // namespace tw::demo
