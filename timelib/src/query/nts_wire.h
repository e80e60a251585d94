// The byte handling both NTS codecs share: network-order 16-bit values and the
// padding to 32-bit words that NTP's extension fields use. No Win32 here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zymdate::nts::wire {

inline uint16_t readU16(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

inline void appendU16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value & 0xFFu));
}

inline void append(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// n rounded up to a whole number of 32-bit words.
constexpr size_t paddedTo4(size_t n) {
    return (n + 3) & ~size_t{3};
}

} // namespace zymdate::nts::wire
