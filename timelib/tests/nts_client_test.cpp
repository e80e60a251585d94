// The NTS client's own logic: the names that make a server an NTS one, and a
// sealed request answered by a server played here with the same keys, genuine,
// forged, or as a NAK, with the cookies it brings.
#include <gtest/gtest.h>

#include "query/nts_aead.h"
#include "query/nts_client.h"
#include "query/nts_ke.h"

#include <optional>
#include <string>
#include <vector>

namespace zymdate::nts {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(NtsClient, ServerNamesAndTheirKeyExchangeTargets) {
    const struct {
        const char* name;
        bool nts;
        const char* host; // empty: refused
        int port;
    } rows[] = {
        {"time.example", false, "", 0},
        {"ntp://time.example", false, "", 0},
        {"nts://time.example", true, "time.example", 4460},
        {"NTS://Time.Example:4461", true, "Time.Example", 4461},
        {"nts://time.example/", true, "time.example", 4460},
        {"nts://192.0.2.1:123", true, "192.0.2.1", 123},
        {"nts://[2001:db8::1]:4460", true, "2001:db8::1", 4460},
        {"nts://[::1]", true, "::1", 4460},
        {"nts://2001:db8::1", true, "2001:db8::1", 4460},
        {"nts://", true, "", 0},
        {"nts://time.example:", true, "", 0},
        {"nts://time.example:0", true, "", 0},
        {"nts://time.example:65536", true, "", 0},
        {"nts://time.example:44x", true, "", 0},
        {"nts://[::1", true, "", 0},
        {"nts://[::1]x", true, "", 0},
        {"nts://user@time.example", true, "", 0},
        {"nts://time.example/path", true, "", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::optional<KeTarget> target = keTarget(row.name);
        ASSERT_EQ(target.has_value(), row.nts);
        if (!row.nts)
            continue;
        EXPECT_EQ(target->host, row.host);
        if (*row.host != '\0') {
            EXPECT_EQ(target->port, row.port);
        }
    }
}

Association association(size_t cookies) {
    Association a;
    for (size_t i = 0; i < a.clientToServer.size(); ++i) {
        a.clientToServer[i] = static_cast<uint8_t>(i);
        a.serverToClient[i] = static_cast<uint8_t>(0x80 + i);
    }
    for (size_t i = 0; i < cookies; ++i)
        a.cookies.push_back(Bytes(100, static_cast<uint8_t>(i + 1)));
    return a;
}

Bytes bytesOf(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// What a server does: checks the request with the client-to-server key, then
// answers with the unique identifier it was given and `cookies` new cookies sealed
// with the server-to-client key.
std::string reply(const std::string& request, const Association& keys, size_t cookies,
                  bool sealWithWrongKey = false) {
    const Bytes packet = bytesOf(request);
    const auto fields = parseFields(packet);
    EXPECT_TRUE(fields);
    const Field* uid = nullptr;
    const Field* auth = nullptr;
    for (const Field& f : *fields) {
        if (f.type == kUniqueIdentifier)
            uid = &f;
        if (f.type == kAuthenticator)
            auth = &f;
    }
    EXPECT_TRUE(uid && auth);
    const auto parts = parseAuthenticator(auth->body);
    EXPECT_TRUE(parts);
    const ByteView in[] = {associatedData(packet, *auth), parts->nonce};
    EXPECT_TRUE(sivOpen(keys.clientToServer, in, parts->ciphertext)) << "the request's seal";

    Bytes out(48, 0);
    out[0] = 0x24; // version 4, server
    out[1] = 2;
    std::copy(packet.begin() + 40, packet.begin() + 48, out.begin() + 24); // originate
    out[40] = 0xE0; // some transmit time
    const Bytes echoed = extensionField(kUniqueIdentifier, uid->body);
    out.insert(out.end(), echoed.begin(), echoed.end());
    Bytes plaintext;
    for (size_t i = 0; i < cookies; ++i) {
        const Bytes c = extensionField(kNtsCookie, Bytes(100, static_cast<uint8_t>(0xA0 + i)));
        plaintext.insert(plaintext.end(), c.begin(), c.end());
    }
    const Bytes nonce(16, 0x5A);
    const ByteView components[] = {ByteView(out), ByteView(nonce)};
    Association other = keys;
    other.serverToClient[0] ^= 1;
    const auto sealed =
        sivSeal(sealWithWrongKey ? other.serverToClient : keys.serverToClient, components,
                plaintext);
    const Bytes authenticator = authenticatorField(nonce, *sealed);
    out.insert(out.end(), authenticator.begin(), authenticator.end());
    return std::string(out.begin(), out.end());
}

std::string nak(const std::string& request, bool echoUid) {
    std::string out(48, '\0');
    out[0] = 0x24;
    out.replace(12, 4, "NTSN");
    out.replace(24, 8, request.substr(40, 8));
    Bytes uid(request.begin() + 52, request.begin() + 84);
    if (!echoUid)
        uid[0] ^= 1;
    const Bytes field = extensionField(kUniqueIdentifier, uid);
    return out + std::string(field.begin(), field.end());
}

TEST(NtsClient, RequestsSpendACookieAndAskForTheRestBack) {
    Association a = association(3);
    const auto sealed = sealRequest(0x1122334455667788u, a);
    ASSERT_TRUE(sealed);
    EXPECT_EQ(a.cookies.size(), 2u);
    // Header, unique identifier, the cookie, 8 - 3 placeholders, the authenticator.
    EXPECT_EQ(sealed->datagram.size(), 48u + 36 + 104 + 5 * 104 + 40);
    Association none = association(0);
    EXPECT_FALSE(sealRequest(1, none));
}

TEST(NtsClient, OnlyAGenuineReplyToThisRequestIsAuthentic) {
    const Association keys = association(8);
    Association spending = keys;
    const auto request = sealRequest(0xABCDEF0123456789u, spending);
    ASSERT_TRUE(request);
    const auto other = sealRequest(0x0123456789ABCDEFu, spending);
    ASSERT_TRUE(other);
    const std::string genuine = reply(request->datagram, keys, 2);

    std::string changedTime = genuine;
    changedTime[41] ^= 1;
    std::string changedCiphertext = genuine;
    changedCiphertext[changedCiphertext.size() - 1] ^= 1;
    const struct {
        const char* name;
        std::string datagram;
        ReplyVerdict verdict;
    } rows[] = {
        {"genuine", genuine, ReplyVerdict::Authentic},
        {"its time changed", changedTime, ReplyVerdict::Forged},
        {"its ciphertext changed", changedCiphertext, ReplyVerdict::Forged},
        {"sealed with another key", reply(request->datagram, keys, 2, true), ReplyVerdict::Forged},
        {"the header alone", genuine.substr(0, 48), ReplyVerdict::Forged},
        {"the reply to another request", reply(other->datagram, keys, 1), ReplyVerdict::Forged},
        {"a NAK echoing the request", nak(request->datagram, true), ReplyVerdict::Nak},
        {"a NAK for someone else", nak(request->datagram, false), ReplyVerdict::Forged},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const OpenedReply opened = openReply(row.datagram, *request, keys);
        EXPECT_EQ(opened.verdict, row.verdict);
        EXPECT_EQ(opened.cookies.size(), row.verdict == ReplyVerdict::Authentic ? 2u : 0u);
    }
}

} // namespace
} // namespace zymdate::nts
