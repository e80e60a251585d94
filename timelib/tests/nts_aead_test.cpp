// AES-SIV as NTS uses it, against RFC 5297's own examples (appendix A.1, the
// deterministic one; A.2, with two associated data and a nonce), and an NTS-shaped
// case (a header as associated data, a 16-byte nonce) with an empty and a short
// plaintext, computed with an independent implementation; a packet changed
// anywhere fails to open.
#include <gtest/gtest.h>

#include "query/nts_aead.h"

#include <string>
#include <vector>

namespace zymdate::nts {
namespace {

std::vector<uint8_t> hex(const std::string& text) {
    std::vector<uint8_t> bytes;
    std::string digits;
    for (char c : text)
        if (c != ' ')
            digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

struct Example {
    const char* name;
    const char* key;
    std::vector<const char*> components;
    const char* plaintext;
    const char* sealed; // the synthetic IV, then the ciphertext
};

TEST(NtsAead, RfcExamplesSealAndOpen) {
    const Example examples[] = {
        {"A.1",
         "fffefdfc fbfaf9f8 f7f6f5f4 f3f2f1f0 f0f1f2f3 f4f5f6f7 f8f9fafb fcfdfeff",
         {"10111213 14151617 18191a1b 1c1d1e1f 20212223 24252627"},
         "11223344 55667788 99aabbcc ddee",
         "85632d07 c6e8f37f 950acd32 0a2ecc93 40c02b96 90c4dc04 daef7f6a fe5c"},
        {"A.2",
         "7f7e7d7c 7b7a7978 77767574 73727170 40414243 44454647 48494a4b 4c4d4e4f",
         {"00112233 44556677 8899aabb ccddeeff deaddada deaddada ffeeddcc bbaa9988 77665544 "
          "33221100",
          "10203040 50607080 90a0", "09f91102 9d74e35b d84156c5 635688c0"},
         "74686973 20697320 736f6d65 20706c61 696e7465 78742074 6f20656e 63727970 74207573 "
         "696e6720 5349562d 414553",
         "7bdb6e3b 432667eb 06f4d14b ff2fbd0f cb900f2f ddbe4043 26601965 c889bf17 dba77ceb "
         "094fa663 b7a3f748 ba8af829 ea64ad54 4a272e9c 485b62a3 fd5c0d"},
        {"request, nothing encrypted", "00010203 04050607 08090a0b 0c0d0e0f 10111213 14151617 18191a1b 1c1d1e1f", {"00010203 04050607 08090a0b 0c0d0e0f 10111213 14151617 18191a1b 1c1d1e1f 20212223 24252627 28292a2b 2c2d2e2f", "64656667 68696a6b 6c6d6e6f 70717273"}, "",
         "8b32b42c a38fcd8b 70bbd37a 0dc8d164"},
        {"reply, a short plaintext", "00010203 04050607 08090a0b 0c0d0e0f 10111213 14151617 18191a1b 1c1d1e1f", {"00010203 04050607 08090a0b 0c0d0e0f 10111213 14151617 18191a1b 1c1d1e1f 20212223 24252627 28292a2b 2c2d2e2f", "64656667 68696a6b 6c6d6e6f 70717273"},
         "00010203 04050607 08090a0b 0c0d0e0f 10111213",
         "28098690 a026f041 7f92a2c2 aa198b72 083ef07b 1bdbdbe7 ce7d054c 18bbc8fd ad8d6e77"},
    };
    for (const Example& e : examples) {
        SCOPED_TRACE(e.name);
        const std::vector<uint8_t> key = hex(e.key), plaintext = hex(e.plaintext),
                                   expected = hex(e.sealed);
        std::vector<std::vector<uint8_t>> parts;
        for (const char* c : e.components)
            parts.push_back(hex(c));
        std::vector<ByteView> components(parts.begin(), parts.end());
        const SivKey k(key.data(), kSivKeyBytes);

        const std::optional<std::vector<uint8_t>> sealed = sivSeal(k, components, plaintext);
        ASSERT_TRUE(sealed);
        EXPECT_EQ(*sealed, expected);
        EXPECT_EQ(sivOpen(k, components, expected), plaintext);

        // One bit changed anywhere: the tag, the ciphertext, a component, the key.
        std::vector<uint8_t> changed = expected;
        changed[0] ^= 1;
        EXPECT_FALSE(sivOpen(k, components, changed)) << "tag";
        if (!plaintext.empty()) {
            changed = expected;
            changed.back() ^= 0x80;
            EXPECT_FALSE(sivOpen(k, components, changed)) << "ciphertext";
        }
        parts.front()[0] ^= 1;
        std::vector<ByteView> altered(parts.begin(), parts.end());
        EXPECT_FALSE(sivOpen(k, altered, expected)) << "associated data";
        std::vector<uint8_t> otherKey = key;
        otherKey[31] ^= 1;
        EXPECT_FALSE(sivOpen(SivKey(otherKey.data(), kSivKeyBytes), components, expected)) << "key";
        EXPECT_FALSE(sivOpen(k, components, ByteView(expected.data(), kSivTagBytes - 1)));
    }
}

} // namespace
} // namespace zymdate::nts
