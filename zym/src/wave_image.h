// Checks a wave file held in memory before PlaySound gets it. PlaySound with
// SND_MEMORY is not told how long the memory is and trusts the RIFF sizes it
// finds, so a damaged image would make it read past the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zym {

// True when bytes hold a RIFF "WAVE" image whose every chunk lies inside bytes and
// which has a format chunk and a data chunk.
bool isPlayableWave(std::span<const std::uint8_t> bytes);

} // namespace zym
