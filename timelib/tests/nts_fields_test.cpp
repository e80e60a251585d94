// The NTS extension fields over packets built by hand from the layouts of RFC 7822
// and RFC 8915: padding and lengths of what a request carries, fields and
// authenticators whose lengths lie, and replies whose unique identifier is missing,
// doubled or someone else's.
#include <gtest/gtest.h>

#include "ntp_server_reply.h"
#include "query/ntp_packet.h"
#include "query/nts_fields.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace zymdate::nts {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A field with the length it declares, whether true or not; body holds its padding.
Bytes field(uint16_t type, uint16_t length, const Bytes& body) {
    return cat({{uint8_t(type >> 8), uint8_t(type), uint8_t(length >> 8), uint8_t(length)}, body});
}

Bytes zeros(size_t n) {
    return Bytes(n, 0);
}
Bytes run(size_t n, uint8_t first) {
    Bytes out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = uint8_t(first + i);
    return out;
}

const Bytes kHeader = run(48, 0x24); // any 48 bytes: no field reads them
const Bytes kUid = run(32, 0x40);
const Bytes kOtherUid = run(32, 0x41);
UniqueId uid(const Bytes& b) {
    return UniqueId(b.data(), kUniqueIdBytes);
}

TEST(NtsFields, RequestFieldsArePaddedToWordsAndSixteenBytes) {
    struct Row {
        size_t cookieBytes;
        uint16_t fieldLength; // of the cookie field and of each placeholder
        size_t placeholders;
    };
    const Row rows[] = {{1, 16, 1}, {12, 16, 0}, {13, 20, 2}, {100, 104, 3}, {101, 108, 1}};
    for (const Row& row : rows) {
        const Bytes cookie(row.cookieBytes, 0xC5);
        Bytes expected = cat({field(0x0104, 36, kUid),
                              field(0x0204, row.fieldLength,
                                    cat({cookie, zeros(row.fieldLength - 4 - row.cookieBytes)}))});
        for (size_t i = 0; i < row.placeholders; ++i)
            expected = cat({expected, field(0x0304, row.fieldLength, zeros(row.fieldLength - 4))});
        EXPECT_EQ(requestFields(uid(kUid), cookie, row.placeholders), expected) << row.cookieBytes;
    }
}

TEST(NtsFields, AuthenticatorPadsNonceAndCiphertextAndShortNonces) {
    struct Row {
        size_t nonceBytes, ciphertextBytes;
        size_t noncePad, ciphertextPad, extra; // zeros after each, and at the end
    };
    const Row rows[] = {{16, 32, 0, 0, 0}, {16, 18, 0, 2, 0}, {12, 16, 0, 0, 4}, {13, 17, 3, 3, 4}};
    for (const Row& row : rows) {
        const Bytes nonce = run(row.nonceBytes, 0xA0), ciphertext = run(row.ciphertextBytes, 0xB0);
        const Bytes body = cat({{0, uint8_t(row.nonceBytes), 0, uint8_t(row.ciphertextBytes)},
                                nonce,
                                zeros(row.noncePad),
                                ciphertext,
                                zeros(row.ciphertextPad),
                                zeros(row.extra)});
        const Bytes built = authenticatorField(nonce, ciphertext);
        EXPECT_EQ(built, field(0x0404, uint16_t(4 + body.size()), body)) << row.nonceBytes;
        const auto parsed = parseAuthenticator(std::span(built).subspan(4));
        ASSERT_TRUE(parsed) << row.nonceBytes;
        EXPECT_TRUE(std::ranges::equal(parsed->nonce, nonce)) << row.nonceBytes;
        EXPECT_TRUE(std::ranges::equal(parsed->ciphertext, ciphertext)) << row.nonceBytes;
    }
}

TEST(NtsFields, FieldsAreReadOnlyWhenTheirLengthsHold) {
    const Bytes two = cat({field(0x0104, 8, {1, 2, 3, 4}), field(0x0F0F, 4, {})});
    const Bytes packet = cat({kHeader, two});
    const auto fields = parseFields(packet);
    ASSERT_TRUE(fields && fields->size() == 2);
    EXPECT_EQ((*fields)[0].type, 0x0104);
    EXPECT_EQ((*fields)[0].offset, 48u);
    EXPECT_TRUE(std::ranges::equal((*fields)[0].body, Bytes{1, 2, 3, 4}));
    EXPECT_EQ((*fields)[1].type, 0x0F0F);
    EXPECT_EQ((*fields)[1].offset, 56u);
    EXPECT_TRUE((*fields)[1].body.empty());
    EXPECT_EQ(parseFields(kHeader)->size(), 0u);
    EXPECT_FALSE(parseFields(std::span(kHeader).first(47)));

    struct Row {
        const char* what;
        Bytes afterHeader;
    };
    const Row refused[] = {
        {"length 0", field(0x0104, 0, zeros(4))},    {"length 2", field(0x0104, 2, zeros(4))},
        {"length 6", field(0x0104, 6, zeros(2))},    {"past the end", field(0x0104, 12, zeros(4))},
        {"two bytes left over", cat({two, {0, 0}})},
    };
    for (const Row& row : refused)
        EXPECT_FALSE(parseFields(cat({kHeader, row.afterHeader}))) << row.what;
}

TEST(NtsFields, AuthenticatorWhoseLengthsLieIsRefused) {
    const Bytes n = {0xA1, 0xA2, 0xA3, 0xA4}, c = {0xB1, 0xB2, 0xB3, 0xB4};
    struct Row {
        const char* what;
        Bytes body;
        bool usable;
    };
    const Row rows[] = {
        {"true lengths", cat({{0, 4, 0, 4}, n, c}), true},
        {"zeros after the ciphertext", cat({{0, 4, 0, 4}, n, c, zeros(8)}), true},
        {"nonce overstated", cat({{0, 8, 0, 4}, n, c}), false},
        {"ciphertext overstated", cat({{0, 4, 0, 5}, n, c}), false},
        {"ciphertext understated", cat({{0, 4, 0, 2}, n, c}), false},
        {"nonce understated", cat({{0, 3, 0, 4}, n, c}), false},
        {"no room for the lengths", {0, 4}, false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(parseAuthenticator(row.body).has_value(), row.usable) << row.what;
}

TEST(NtsFields, ReplyIsUsableOnlyWithItsOwnUniqueIdentifierAndAnAuthenticator) {
    using enum ReplyProblem;
    const Bytes nonce = run(16, 0xA0), ciphertext = run(16, 0xB0);
    const Bytes auth = field(0x0404, 40, cat({{0, 16, 0, 16}, nonce, ciphertext}));
    const Bytes ours = field(0x0104, 36, kUid), theirs = field(0x0104, 36, kOtherUid);
    const Bytes other = field(0x0F00, 16, zeros(12));
    struct Row {
        const char* what;
        Bytes fields;
        ReplyProblem problem;
        size_t authAt = 0; // where a usable reply's authenticator starts
    };
    const Row rows[] = {
        {"good, unauthenticated fields after", cat({ours, other, auth, theirs, ours, other}), None,
         100},
        {"a second authenticator after", cat({ours, auth, field(0x0404, 8, {0, 9, 0, 9})}), None,
         84},
        {"no unique identifier", cat({other, auth}), NoUniqueIdentifier},
        {"unique identifier after", cat({auth, ours}), NoUniqueIdentifier},
        {"unique identifier twice", cat({ours, ours, auth}), UniqueIdentifierTwice},
        {"someone else's", cat({theirs, auth}), UniqueIdentifierDiffers},
        {"ours and more", cat({field(0x0104, 40, cat({kUid, zeros(4)})), auth}),
         UniqueIdentifierDiffers},
        {"no authenticator", cat({ours, other}), NoAuthenticator},
        {"authenticator lies",
         cat({ours, field(0x0404, 40, cat({{0, 16, 0, 20}, nonce, ciphertext}))}),
         BadAuthenticator},
        {"field past the end",
         cat({ours, field(0x0404, 44, cat({{0, 16, 0, 16}, nonce, ciphertext}))}), Malformed},
    };
    for (const Row& row : rows) {
        const Bytes reply = cat({kHeader, row.fields});
        const ReplyCheck check = checkReply(reply, uid(kUid));
        EXPECT_EQ(check.problem, row.problem) << row.what;
        EXPECT_EQ(check.failure.empty(), row.problem == None) << row.what;
        if (check.problem != None)
            continue;
        EXPECT_EQ(check.associatedData.data(), reply.data()) << row.what;
        EXPECT_EQ(check.associatedData.size(), row.authAt) << row.what;
        EXPECT_TRUE(std::ranges::equal(check.nonce, nonce)) << row.what;
        EXPECT_TRUE(std::ranges::equal(check.ciphertext, ciphertext)) << row.what;
    }
    EXPECT_EQ(checkReply(std::span(kHeader).first(47), uid(kUid)).problem, Malformed);
}

// A NAK is not authenticated; that it answers this request shows in its unique identifier.
TEST(NtsFields, NakEchoingOurUniqueIdentifierLacksOnlyTheAuthenticator) {
    tw::testserver::NtpFields kiss;
    kiss.stratum = 0;
    kiss.referenceId = tw::testserver::ntpCode("NTSN");
    const std::string header = tw::testserver::ntpPacket(kiss);
    const auto packet = ntp::parse(header);
    ASSERT_TRUE(packet);
    EXPECT_EQ(ntp::referenceText(packet->stratum, packet->referenceId), ntp::kKissNtsNak);
    const Bytes nak = cat({Bytes(header.begin(), header.end()), field(0x0104, 36, kUid)});
    EXPECT_EQ(checkReply(nak, uid(kUid)).problem, ReplyProblem::NoAuthenticator);
    EXPECT_EQ(checkReply(nak, uid(kOtherUid)).problem, ReplyProblem::UniqueIdentifierDiffers);
}

TEST(NtsFields, CookiesComeOutOfThePlaintextInOrder) {
    const Bytes plaintext = cat(
        {field(0x0204, 8, {1, 2, 3, 4}), field(0x0F00, 4, {}), field(0x0204, 16, run(12, 0x70))});
    EXPECT_EQ(cookiesIn(plaintext), (std::vector<Bytes>{{1, 2, 3, 4}, run(12, 0x70)}));
    EXPECT_EQ(cookiesIn({}), std::vector<Bytes>{});
    EXPECT_FALSE(cookiesIn(field(0x0204, 12, {1, 2, 3, 4})));
}

} // namespace
} // namespace zymdate::nts
