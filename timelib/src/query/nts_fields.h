// The NTP extension fields of NTS (RFC 8915 section 5) in the layout of RFC 7822:
// 2 bytes of type, 2 bytes of length (the whole field, header and padding
// included, a multiple of 4), then the body. They follow the 48-byte header
// (query/ntp_packet.h). No crypto here: the request's authenticator is built from
// a nonce and ciphertext the caller's AEAD made, and a reply is taken apart into
// the views the caller's AEAD verifies. No Win32 here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zymdate::nts {

inline constexpr uint16_t kUniqueIdentifier = 0x0104;
inline constexpr uint16_t kNtsCookie = 0x0204;
inline constexpr uint16_t kCookiePlaceholder = 0x0304;
inline constexpr uint16_t kAuthenticator = 0x0404; // and the encrypted fields inside it

inline constexpr size_t kFieldHeaderBytes = 4;
// RFC 7822 has every field at least 16 bytes long. The fields built here are padded
// up to that with zeros (only a cookie or placeholder under 12 bytes is ever that
// short); fields read are taken from 4 bytes up, as a short one is still well formed.
inline constexpr size_t kMinFieldBytes = 16;
// Every request makes up a new one; the server echoes it.
inline constexpr size_t kUniqueIdBytes = 32;
using UniqueId = std::span<const uint8_t, kUniqueIdBytes>;

// One field as built: header, body, zeros up to a whole word and at least kMinFieldBytes.
std::vector<uint8_t> extensionField(uint16_t type, std::span<const uint8_t> body);

// What a request carries between its header and its authenticator: the unique
// identifier, the cookie, and `placeholders` Cookie Placeholders as long as the
// cookie, each asking for one more cookie back. The associated data the caller
// authenticates is the header followed by these bytes.
std::vector<uint8_t> requestFields(UniqueId uniqueId, std::span<const uint8_t> cookie,
                                   size_t placeholders);

// The NTS Authenticator field (RFC 8915 5.6): nonce length, ciphertext length,
// the nonce and the ciphertext each padded to a word. A nonce shorter than 16 bytes
// gets that many zeros more (to a word) after the ciphertext, so that a request is
// never shorter than the reply, with its 16-byte nonce, that it asks for.
std::vector<uint8_t> authenticatorField(std::span<const uint8_t> nonce,
                                        std::span<const uint8_t> ciphertext);

struct Field {
    uint16_t type = 0;
    std::span<const uint8_t> body; // after the header, its padding included
    size_t offset = 0;             // of the field's first byte in what was parsed
};

// Every field after the header of an NTP packet, in order; nothing when the packet
// is shorter than a header, or a field is shorter than its own header, not a whole
// number of words, or runs past the end (so are bytes left over that no field holds).
std::optional<std::vector<Field>> parseFields(std::span<const uint8_t> packet);

struct Authenticator {
    std::span<const uint8_t> nonce;
    std::span<const uint8_t> ciphertext; // the AEAD's output, its 16-byte tag first for SIV
};

// The body of an authenticator field. Nothing when the declared lengths, padded to
// words, do not fit the body, or a byte past the nonce or the ciphertext is not
// zero padding (as it would not be if a length were shorter than the truth).
std::optional<Authenticator> parseAuthenticator(std::span<const uint8_t> body);

// What the authenticator vouches for besides its ciphertext: the packet from its
// first byte up to the authenticator field.
std::span<const uint8_t> associatedData(std::span<const uint8_t> packet,
                                        const Field& authenticator);

// The NTS Cookie fields of a decrypted plaintext (itself a run of extension fields),
// in order; nothing when the plaintext is not a run of fields.
std::optional<std::vector<std::vector<uint8_t>>> cookiesIn(std::span<const uint8_t> plaintext);

enum class ReplyProblem {
    None,
    Malformed,
    NoUniqueIdentifier,
    UniqueIdentifierTwice,
    UniqueIdentifierDiffers,
    // Checked after the unique identifier, so on an NTS NAK (a kiss-o'-death with
    // ntp::kKissNtsNak, which carries no authenticator) it says the NAK answers this
    // request.
    NoAuthenticator,
    BadAuthenticator,
};

struct ReplyCheck {
    ReplyProblem problem = ReplyProblem::Malformed;
    std::string failure; // why the reply cannot be used, in words for the user
    // For the AEAD with the server-to-client key (problem None only).
    std::span<const uint8_t> associatedData;
    std::span<const uint8_t> nonce;
    std::span<const uint8_t> ciphertext;
};

// Takes a reply apart for verification, without verifying it. The authenticator is
// the first authenticator field; fields after it are not authenticated and are
// ignored, whatever they are, another authenticator or unique identifier included.
// Before it there must be exactly one Unique Identifier, equal to the request's.
ReplyCheck checkReply(std::span<const uint8_t> reply, UniqueId uniqueId);

} // namespace zymdate::nts
