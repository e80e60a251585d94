// The Time protocol (RFC 868) value: seconds since 1 January 1900 UTC, sent
// most significant byte first.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

namespace zymdate {

// The four bytes as received, read as a little-endian number (the form the
// export takes), turned into the count of seconds.
inline uint32_t rfc868SecondsFromWire(uint32_t bytesAsReceived) {
    return ((bytesAsReceived & 0x000000FFu) << 24) | ((bytesAsReceived & 0x0000FF00u) << 8) |
           ((bytesAsReceived & 0x00FF0000u) >> 8) | ((bytesAsReceived & 0xFF000000u) >> 24);
}

// The value held by up to four received bytes, most significant first; missing
// trailing bytes count as 0.
inline uint32_t rfc868SecondsFromBytes(std::string_view bytes) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        const uint32_t b = i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u;
        value = (value << 8) | b;
    }
    return value;
}

// The UTC time of a count of seconds since 1900 (milliseconds 0).
SYSTEMTIME rfc868ToSystemTime(uint32_t seconds);

} // namespace zymdate
