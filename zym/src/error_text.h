// Error descriptions for GETLASTERRORDESCRIPTION: the socket layer's numbers in
// our own words, everything else in the system's words.
#pragma once

#include <cstdint>
#include <string>

namespace zym {

// Describes errorNumber: a socket layer number (socket_error_text.h), else the
// system's message for that Windows error code, else "Unknown error <n>". The
// text never ends in a line break or blanks.
std::string describeError(std::int32_t errorNumber);

// The system's message for a Windows error code with its trailing line break and
// blanks removed; empty when the system has no text for it.
std::string systemErrorMessage(std::uint32_t code);

// Removes trailing CR, LF, tabs and spaces (FormatMessage ends its texts in CR LF).
std::string trimMessageEnd(std::string text);

} // namespace zym
