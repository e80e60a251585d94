#include "query/nts_aead.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <memory>

namespace zymdate::nts {

namespace {

// RFC 5297 on OpenSSL's CMAC and AES-CTR. OpenSSL's own AES-SIV cipher skips an
// empty plaintext without computing the tag, and an NTS request's plaintext is
// usually empty, so S2V is done here.
constexpr size_t kBlock = 16;
constexpr size_t kHalfKey = kSivKeyBytes / 2;
using Block = std::array<uint8_t, kBlock>;

struct MacFree {
    void operator()(EVP_MAC* m) const { EVP_MAC_free(m); }
};
struct MacContextFree {
    void operator()(EVP_MAC_CTX* c) const { EVP_MAC_CTX_free(c); }
};
struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};

// CMAC with AES-128 over the concatenation of parts.
std::optional<Block> cmac(ByteView key, std::initializer_list<ByteView> parts) {
    const std::unique_ptr<EVP_MAC, MacFree> mac(EVP_MAC_fetch(nullptr, "CMAC", nullptr));
    if (!mac)
        return std::nullopt;
    const std::unique_ptr<EVP_MAC_CTX, MacContextFree> context(EVP_MAC_CTX_new(mac.get()));
    char cipherName[] = "AES-128-CBC";
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_CIPHER, cipherName, 0),
        OSSL_PARAM_construct_end()};
    if (!context || EVP_MAC_init(context.get(), key.data(), key.size(), params) != 1)
        return std::nullopt;
    for (ByteView part : parts)
        if (!part.empty() && EVP_MAC_update(context.get(), part.data(), part.size()) != 1)
            return std::nullopt;
    Block out{};
    size_t length = 0;
    if (EVP_MAC_final(context.get(), out.data(), &length, out.size()) != 1 || length != kBlock)
        return std::nullopt;
    return out;
}

// Doubling in GF(2^128), as RFC 5297 2.3 defines it.
Block dbl(const Block& in) {
    Block out{};
    for (size_t i = 0; i < kBlock; ++i)
        out[i] = static_cast<uint8_t>((in[i] << 1) | (i + 1 < kBlock ? in[i + 1] >> 7 : 0));
    if (in[0] & 0x80)
        out[kBlock - 1] ^= 0x87;
    return out;
}

void xorInto(Block& into, const Block& with) {
    for (size_t i = 0; i < kBlock; ++i)
        into[i] ^= with[i];
}

// S2V over the components, then the plaintext as the last string.
std::optional<Block> s2v(ByteView macKey, std::span<const ByteView> components,
                         ByteView plaintext) {
    static constexpr Block kZero{};
    auto d = cmac(macKey, {ByteView(kZero)});
    if (!d)
        return std::nullopt;
    for (ByteView component : components) {
        const auto mac = cmac(macKey, {component});
        if (!mac)
            return std::nullopt;
        *d = dbl(*d);
        xorInto(*d, *mac);
    }
    if (plaintext.size() >= kBlock) {
        // The plaintext with D xored into its last 16 bytes ("xorend").
        Block tail{};
        std::copy(plaintext.end() - kBlock, plaintext.end(), tail.begin());
        xorInto(tail, *d);
        return cmac(macKey, {plaintext.first(plaintext.size() - kBlock), ByteView(tail)});
    }
    Block padded{};
    std::copy(plaintext.begin(), plaintext.end(), padded.begin());
    padded[plaintext.size()] = 0x80;
    Block t = dbl(*d);
    xorInto(t, padded);
    return cmac(macKey, {ByteView(t)});
}

// AES-128-CTR from the synthetic IV with its two bits cleared (RFC 5297 2.6).
bool ctr(ByteView ctrKey, const Block& iv, ByteView in, uint8_t* out) {
    if (in.empty())
        return true;
    Block counter = iv;
    counter[8] &= 0x7F;
    counter[12] &= 0x7F;
    const std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree> context(EVP_CIPHER_CTX_new());
    int written = 0, more = 0;
    return context &&
           EVP_EncryptInit_ex2(context.get(), EVP_aes_128_ctr(), ctrKey.data(), counter.data(),
                               nullptr) == 1 &&
           EVP_EncryptUpdate(context.get(), out, &written, in.data(),
                             static_cast<int>(in.size())) == 1 &&
           EVP_EncryptFinal_ex(context.get(), out + written, &more) == 1 &&
           static_cast<size_t>(written + more) == in.size();
}

} // namespace

std::optional<std::vector<uint8_t>> sivSeal(SivKey key, std::span<const ByteView> components,
                                            ByteView plaintext) {
    const ByteView macKey = key.first(kHalfKey), ctrKey = key.last(kHalfKey);
    const auto iv = s2v(macKey, components, plaintext);
    if (!iv)
        return std::nullopt;
    std::vector<uint8_t> sealed(iv->begin(), iv->end());
    sealed.resize(kSivTagBytes + plaintext.size());
    if (!ctr(ctrKey, *iv, plaintext, sealed.data() + kSivTagBytes))
        return std::nullopt;
    return sealed;
}

std::optional<std::vector<uint8_t>> sivOpen(SivKey key, std::span<const ByteView> components,
                                            ByteView sealed) {
    if (sealed.size() < kSivTagBytes)
        return std::nullopt;
    const ByteView macKey = key.first(kHalfKey), ctrKey = key.last(kHalfKey);
    Block iv{};
    std::copy(sealed.begin(), sealed.begin() + kSivTagBytes, iv.begin());
    const ByteView ciphertext = sealed.subspan(kSivTagBytes);
    std::vector<uint8_t> plaintext(ciphertext.size());
    if (!ctr(ctrKey, iv, ciphertext, plaintext.data()))
        return std::nullopt;
    const auto expected = s2v(macKey, components, plaintext);
    if (!expected || CRYPTO_memcmp(expected->data(), iv.data(), kBlock) != 0)
        return std::nullopt;
    return plaintext;
}

} // namespace zymdate::nts
