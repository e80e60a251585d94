#include "wave_image.h"

#include <cstring>

namespace zym {

namespace {

constexpr std::size_t kChunkHeaderSize = 8;        // four-letter id, 32-bit little-endian size
constexpr std::size_t kRiffHeaderSize = 12;        // "RIFF", size, "WAVE"
constexpr std::uint32_t kSmallestFormatChunk = 14; // WAVEFORMAT without the bit count

std::uint32_t readLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool hasId(const std::uint8_t* p, const char (&id)[5]) {
    return std::memcmp(p, id, 4) == 0;
}

} // namespace

bool isPlayableWave(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kRiffHeaderSize || !hasId(bytes.data(), "RIFF") ||
        !hasId(bytes.data() + 8, "WAVE"))
        return false;
    // 64-bit sums: a size near 4 GiB must not wrap round into range.
    const std::uint64_t riffEnd = std::uint64_t{readLe32(bytes.data() + 4)} + kChunkHeaderSize;
    if (riffEnd > bytes.size() || riffEnd < kRiffHeaderSize)
        return false;

    bool format = false;
    bool data = false;
    std::uint64_t at = kRiffHeaderSize;
    while (at + kChunkHeaderSize <= riffEnd) {
        const std::uint8_t* chunk = bytes.data() + at;
        const std::uint32_t size = readLe32(chunk + 4);
        const std::uint64_t end = at + kChunkHeaderSize + size;
        if (end > riffEnd)
            return false;
        if (hasId(chunk, "fmt "))
            format = size >= kSmallestFormatChunk;
        else if (hasId(chunk, "data"))
            data = true;
        at = end + (size & 1); // chunks are padded to an even length
    }
    return format && data;
}

} // namespace zym
