#include "query/nts_fields.h"

#include "query/ntp_packet.h"
#include "query/nts_wire.h"

#include <algorithm>

namespace zymdate::nts {

namespace {

using wire::appendU16;
using wire::paddedTo4;
using wire::readU16;

constexpr size_t kAuthenticatorLengthsBytes = 4; // nonce length, ciphertext length
// A request whose nonce is shorter than this makes up the difference in zeros at
// the end of the field (RFC 8915 5.6), never shorter than the reply's.
constexpr size_t kMinNonce = 16;

// The fields of bytes from `from` on, offsets counted from the start of bytes.
std::optional<std::vector<Field>> fieldsFrom(std::span<const uint8_t> bytes, size_t from) {
    std::vector<Field> fields;
    size_t at = from;
    while (at < bytes.size()) {
        if (bytes.size() - at < kFieldHeaderBytes)
            return std::nullopt;
        const size_t length = readU16(bytes, at + 2);
        if (length < kFieldHeaderBytes || length % 4 != 0 || length > bytes.size() - at)
            return std::nullopt;
        fields.push_back({readU16(bytes, at),
                          bytes.subspan(at + kFieldHeaderBytes, length - kFieldHeaderBytes), at});
        at += length;
    }
    return fields;
}

bool allZero(std::span<const uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

ReplyCheck refused(ReplyProblem problem, std::string failure) {
    ReplyCheck out;
    out.problem = problem;
    out.failure = std::move(failure);
    return out;
}

} // namespace

std::vector<uint8_t> extensionField(uint16_t type, std::span<const uint8_t> body) {
    const size_t length = std::max(paddedTo4(kFieldHeaderBytes + body.size()), kMinFieldBytes);
    std::vector<uint8_t> out;
    out.reserve(length);
    appendU16(out, type);
    appendU16(out, static_cast<uint16_t>(length));
    wire::append(out, body);
    out.resize(length, 0);
    return out;
}

std::vector<uint8_t> requestFields(UniqueId uniqueId, std::span<const uint8_t> cookie,
                                   size_t placeholders) {
    std::vector<uint8_t> out = extensionField(kUniqueIdentifier, uniqueId);
    wire::append(out, extensionField(kNtsCookie, cookie));
    // The server answers with as many new cookies, each as long as this one; the
    // placeholder's zeros make the request as long as that reply.
    const std::vector<uint8_t> zeros(cookie.size(), 0);
    const std::vector<uint8_t> placeholder = extensionField(kCookiePlaceholder, zeros);
    for (size_t i = 0; i < placeholders; ++i)
        wire::append(out, placeholder);
    return out;
}

std::vector<uint8_t> authenticatorField(std::span<const uint8_t> nonce,
                                        std::span<const uint8_t> ciphertext) {
    std::vector<uint8_t> body;
    appendU16(body, static_cast<uint16_t>(nonce.size()));
    appendU16(body, static_cast<uint16_t>(ciphertext.size()));
    wire::append(body, nonce);
    body.resize(kAuthenticatorLengthsBytes + paddedTo4(nonce.size()), 0);
    wire::append(body, ciphertext);
    body.resize(body.size() + paddedTo4(ciphertext.size()) - ciphertext.size(), 0);
    if (nonce.size() < kMinNonce)
        body.resize(body.size() + paddedTo4(kMinNonce - nonce.size()), 0);
    return extensionField(kAuthenticator, body);
}

std::optional<std::vector<Field>> parseFields(std::span<const uint8_t> packet) {
    if (packet.size() < ntp::kPacketBytes)
        return std::nullopt;
    return fieldsFrom(packet, ntp::kPacketBytes);
}

std::optional<Authenticator> parseAuthenticator(std::span<const uint8_t> body) {
    if (body.size() < kAuthenticatorLengthsBytes)
        return std::nullopt;
    const size_t nonceBytes = readU16(body, 0);
    const size_t ciphertextBytes = readU16(body, 2);
    const size_t ciphertextAt = kAuthenticatorLengthsBytes + paddedTo4(nonceBytes);
    const size_t end = ciphertextAt + paddedTo4(ciphertextBytes);
    if (end > body.size())
        return std::nullopt;
    const size_t nonceEnd = kAuthenticatorLengthsBytes + nonceBytes;
    if (!allZero(body.subspan(nonceEnd, ciphertextAt - nonceEnd)) ||
        !allZero(body.subspan(ciphertextAt + ciphertextBytes)))
        return std::nullopt;
    return Authenticator{body.subspan(kAuthenticatorLengthsBytes, nonceBytes),
                         body.subspan(ciphertextAt, ciphertextBytes)};
}

std::span<const uint8_t> associatedData(std::span<const uint8_t> packet,
                                        const Field& authenticator) {
    return packet.first(authenticator.offset);
}

std::optional<std::vector<std::vector<uint8_t>>> cookiesIn(std::span<const uint8_t> plaintext) {
    const auto fields = fieldsFrom(plaintext, 0);
    if (!fields)
        return std::nullopt;
    std::vector<std::vector<uint8_t>> cookies;
    for (const Field& field : *fields)
        if (field.type == kNtsCookie)
            cookies.emplace_back(field.body.begin(), field.body.end());
    return cookies;
}

ReplyCheck checkReply(std::span<const uint8_t> reply, UniqueId uniqueId) {
    if (reply.size() < ntp::kPacketBytes)
        return refused(ReplyProblem::Malformed, "the reply is shorter than an NTP packet");
    const auto fields = parseFields(reply);
    if (!fields)
        return refused(ReplyProblem::Malformed, "the reply's extension fields are malformed");

    const auto authenticator = std::find_if(
        fields->begin(), fields->end(), [](const Field& f) { return f.type == kAuthenticator; });
    const Field* echoed = nullptr;
    for (auto f = fields->begin(); f != authenticator; ++f) {
        if (f->type != kUniqueIdentifier)
            continue;
        if (echoed)
            return refused(ReplyProblem::UniqueIdentifierTwice,
                           "the reply carries more than one unique identifier");
        echoed = &*f;
    }
    if (!echoed)
        return refused(ReplyProblem::NoUniqueIdentifier, "the reply carries no unique identifier");
    if (!std::ranges::equal(echoed->body, uniqueId))
        return refused(ReplyProblem::UniqueIdentifierDiffers,
                       "the unique identifier does not match the request's");
    if (authenticator == fields->end())
        return refused(ReplyProblem::NoAuthenticator, "the reply carries no authenticator");

    const auto parts = parseAuthenticator(authenticator->body);
    if (!parts)
        return refused(ReplyProblem::BadAuthenticator,
                       "the reply's authenticator does not hold the lengths it declares");
    ReplyCheck out;
    out.problem = ReplyProblem::None;
    out.associatedData = associatedData(reply, *authenticator);
    out.nonce = parts->nonce;
    out.ciphertext = parts->ciphertext;
    return out;
}

} // namespace zymdate::nts
