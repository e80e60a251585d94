#include "query/nts_aead.h"

#include <openssl/evp.h>

#include <memory>

namespace zymdate::nts {

namespace {

struct CipherFree {
    void operator()(EVP_CIPHER* c) const { EVP_CIPHER_free(c); }
};
struct ContextFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using Cipher = std::unique_ptr<EVP_CIPHER, CipherFree>;
using Context = std::unique_ptr<EVP_CIPHER_CTX, ContextFree>;

// Every step through EVP_Cipher, which hands even zero bytes to the cipher:
// the update calls skip them, and SIV must see an empty plaintext (an NTS
// request usually encrypts nothing) and any empty component. A null output
// marks associated data; -1 is a failure (a tag that does not verify).
const unsigned char* address(ByteView bytes) {
    static const unsigned char kNothing = 0;
    return bytes.empty() ? &kNothing : bytes.data();
}

bool step(EVP_CIPHER_CTX* context, unsigned char* out, ByteView in) {
    return EVP_Cipher(context, out, address(in), static_cast<unsigned int>(in.size())) >= 0;
}

// The context for one operation, the components already given.
Context started(SivKey key, std::span<const ByteView> components, bool sealing,
                const unsigned char* tag) {
    const Cipher cipher(EVP_CIPHER_fetch(nullptr, "AES-128-SIV", nullptr));
    Context context(EVP_CIPHER_CTX_new());
    if (!cipher || !context)
        return nullptr;
    const int ok = sealing ? EVP_EncryptInit_ex2(context.get(), cipher.get(), key.data(), nullptr,
                                                 nullptr)
                           : EVP_DecryptInit_ex2(context.get(), cipher.get(), key.data(), nullptr,
                                                 nullptr);
    if (ok != 1)
        return nullptr;
    if (tag != nullptr &&
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_AEAD_SET_TAG, static_cast<int>(kSivTagBytes),
                            const_cast<unsigned char*>(tag)) != 1)
        return nullptr;
    for (ByteView component : components)
        if (!step(context.get(), nullptr, component))
            return nullptr;
    return context;
}

} // namespace

std::optional<std::vector<uint8_t>> sivSeal(SivKey key, std::span<const ByteView> components,
                                            ByteView plaintext) {
    Context context = started(key, components, true, nullptr);
    if (!context)
        return std::nullopt;
    std::vector<uint8_t> sealed(kSivTagBytes + plaintext.size() + 1); // +1: never empty
    if (!step(context.get(), sealed.data() + kSivTagBytes, plaintext) ||
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_AEAD_GET_TAG, static_cast<int>(kSivTagBytes),
                            sealed.data()) != 1)
        return std::nullopt;
    sealed.pop_back();
    return sealed;
}

std::optional<std::vector<uint8_t>> sivOpen(SivKey key, std::span<const ByteView> components,
                                            ByteView sealed) {
    if (sealed.size() < kSivTagBytes)
        return std::nullopt;
    Context context = started(key, components, false, sealed.data());
    if (!context)
        return std::nullopt;
    const ByteView ciphertext = sealed.subspan(kSivTagBytes);
    std::vector<uint8_t> plaintext(ciphertext.size() + 1); // +1: never empty
    if (!step(context.get(), plaintext.data(), ciphertext))
        return std::nullopt;
    plaintext.pop_back();
    return plaintext;
}

} // namespace zymdate::nts
