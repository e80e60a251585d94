// AEAD_AES_SIV_CMAC_256 (RFC 5297 with a 256-bit key, RFC 5116 algorithm 15), as
// NTS seals and opens the encrypted part of its packets: the associated data
// components (for NTS: the packet up to the authenticator, then the nonce), and
// the 16-byte synthetic IV, which is the tag, before the ciphertext. Built on
// OpenSSL's CMAC and AES-128-CTR: the first 128-bit half of the key is the CMAC
// key, the second the CTR key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zymdate::nts {

inline constexpr size_t kSivKeyBytes = 32;
inline constexpr size_t kSivTagBytes = 16;

using SivKey = std::span<const uint8_t, kSivKeyBytes>;
using ByteView = std::span<const uint8_t>;

// tag || ciphertext; none when the cipher is not available.
std::optional<std::vector<uint8_t>> sivSeal(SivKey key, std::span<const ByteView> components,
                                            ByteView plaintext);

// The plaintext; none when the tag does not verify (a forged or damaged packet)
// or sealed is shorter than the tag.
std::optional<std::vector<uint8_t>> sivOpen(SivKey key, std::span<const ByteView> components,
                                            ByteView sealed);

} // namespace zymdate::nts
