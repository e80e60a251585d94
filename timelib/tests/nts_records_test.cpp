// The NTS key-exchange records over responses built by hand from RFC 8915's
// layout: what a good response yields, each way a response can be refused, and a
// response that arrives a few bytes at a time.
#include <gtest/gtest.h>

#include "query/nts_records.h"

#include <string>
#include <vector>

namespace zymdate::nts {
namespace {

using Bytes = std::vector<uint8_t>;
using State = KeParse::State;

// One record: the type word (0x8000 for critical), the body's length, the body.
Bytes rec(uint16_t typeWord, const Bytes& body) {
    Bytes out = {uint8_t(typeWord >> 8), uint8_t(typeWord), uint8_t(body.size() >> 8),
                 uint8_t(body.size())};
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

const Bytes kProtocol = rec(0x8001, {0, 0});
const Bytes kAead = rec(0x8004, {0, 15});
const Bytes kCookie = rec(0x0005, {0xC0, 0x0C});
const Bytes kEnd = rec(0x8000, {});

TEST(NtsRecords, RequestAndExporterContextAreLaidOutByteForByte) {
    const Bytes request = {0x80, 0x01, 0x00, 0x02, 0x00, 0x00, // Next Protocol: NTPv4
                           0x80, 0x04, 0x00, 0x02, 0x00, 0x0F, // AEAD: AES-SIV-CMAC-256
                           0x80, 0x00, 0x00, 0x00};            // End of Message
    EXPECT_EQ(keRequest(), request);
    EXPECT_EQ(exporterContext(false), (std::array<uint8_t, 5>{0, 0, 0, 15, 0}));
    EXPECT_EQ(exporterContext(true), (std::array<uint8_t, 5>{0, 0, 0, 15, 1}));
}

// Everything a server may send, in an unusual order, with records after the end.
// clang-format off
const Bytes kFullResponse = cat({
    rec(0x0005, {1, 2, 3}), rec(0x0003, {0x12, 0x34}), kAead,
    rec(0x0123, {9, 9, 9}),                                     // unknown, not critical
    rec(0x0005, {4, 5, 6, 7}), kProtocol,
    rec(0x8006, {'[', ':', ':', '1', ']'}), rec(0x0007, {0x11, 0x5C}), kEnd,
    rec(0x8123, {}), rec(0x8002, {0, 1}),                       // after the end: not read
});
// clang-format on

void expectFull(const KeParse& p) {
    ASSERT_EQ(p.state, State::Complete) << p.failure;
    EXPECT_EQ(p.response.cookies, (std::vector<Bytes>{{1, 2, 3}, {4, 5, 6, 7}}));
    EXPECT_EQ(p.response.ntpServer, "[::1]");
    EXPECT_EQ(p.response.ntpPort, 4444);
    EXPECT_EQ(p.response.warnings, (std::vector<uint16_t>{0x1234}));
}

TEST(NtsRecords, FullResponseYieldsWhatWasNegotiated) {
    expectFull(parseKeResponse(kFullResponse, true));
}

// A reader that takes a prefix for the whole, or insists on the stream's end,
// fails here. Ten bytes follow End of Message.
TEST(NtsRecords, EveryPrefixNeedsMoreUntilEndOfMessage) {
    const size_t endOfMessage = kFullResponse.size() - 10;
    for (size_t n = 0; n < endOfMessage; ++n) {
        const std::span<const uint8_t> prefix(kFullResponse.data(), n);
        EXPECT_EQ(parseKeResponse(prefix, false).state, State::NeedMore) << n;
        EXPECT_EQ(parseKeResponse(prefix, true).state, State::Failed) << n;
    }
    for (size_t n = endOfMessage; n <= kFullResponse.size(); ++n)
        expectFull(parseKeResponse(std::span<const uint8_t>(kFullResponse.data(), n), false));
}

TEST(NtsRecords, EachFaultIsRefusedInWords) {
    const Bytes bigCookie = rec(0x0005, Bytes(1025, 7));
    struct Row {
        const char* what;
        Bytes response;
        bool ended;
        State state;
        std::string failure;
    };
    // clang-format off
    const Row rows[] = {
        {"minimal",               cat({kProtocol, kAead, kCookie, kEnd}), false, State::Complete, ""},
        {"known, not critical",   cat({rec(1, {0, 0}), rec(4, {0, 15}), kCookie, rec(0, {})}), false, State::Complete, ""},
        {"1024-byte cookie",      cat({kProtocol, kAead, rec(5, Bytes(1024, 7)), kEnd}), false, State::Complete, ""},
        {"protocol repeated",     cat({rec(0x8001, {0, 0, 0, 0}), kAead, kCookie, kEnd}), false, State::Complete, ""},
        {"255-byte server name",  cat({kProtocol, kAead, kCookie, rec(6, Bytes(255, 'a')), kEnd}), false, State::Complete, ""},
        {"error 0",   cat({rec(0x8002, {0, 0}), kEnd}), false, State::Failed, "the server did not recognize a critical record of the request"},
        {"error 1",   cat({rec(0x8002, {0, 1}), kEnd}), false, State::Failed, "the server reported a bad request"},
        {"error 2",   cat({kProtocol, rec(0x8002, {0, 2})}), false, State::Failed, "the server reported an internal server error"},
        {"error 258", cat({rec(0x8002, {1, 2})}), false, State::Failed, "the server reported error 258"},
        {"error, 1 byte",  cat({rec(0x8002, {1})}), false, State::Failed, "the server sent a malformed error record (1 byte)"},
        {"unknown critical",   cat({kProtocol, rec(0x8008, {}), kEnd}), false, State::Failed, "the server sent an unknown critical record (type 8)"},
        {"unknown critical, body not yet here", {0xFF, 0xFF, 0x00, 0x40}, false, State::Failed, "the server sent an unknown critical record (type 32767)"},
        {"no protocol",       cat({kAead, kCookie, kEnd}), false, State::Failed, "the server named no next protocol"},
        {"empty protocols",   cat({rec(0x8001, {}), kAead, kCookie, kEnd}), false, State::Failed, "the server supports no protocol this client offers"},
        {"another protocol",  cat({rec(0x8001, {0, 0, 0x80, 1}), kAead, kCookie, kEnd}), false, State::Failed, "the server chose a protocol that was not offered (id 32769)"},
        {"odd protocol list", cat({rec(0x8001, {0, 0, 0}), kAead, kCookie, kEnd}), false, State::Failed, "the server sent a malformed next protocol record (3 bytes)"},
        {"two protocol records", cat({kProtocol, kProtocol, kAead, kCookie, kEnd}), false, State::Failed, "the server sent more than one next protocol record"},
        {"no AEAD",           cat({kProtocol, kCookie, kEnd}), false, State::Failed, "the server named no AEAD algorithm"},
        {"empty AEAD list",   cat({kProtocol, rec(0x8004, {}), kCookie, kEnd}), false, State::Failed, "the server supports no AEAD algorithm this client offers"},
        {"AEAD 16",           cat({kProtocol, rec(0x8004, {0, 16}), kCookie, kEnd}), false, State::Failed, "the server chose an AEAD algorithm that was not offered (id 16)"},
        {"odd AEAD list",     cat({kProtocol, rec(0x8004, {15}), kCookie, kEnd}), false, State::Failed, "the server sent a malformed AEAD algorithm record (1 byte)"},
        {"no cookie",         cat({kProtocol, kAead, kEnd}), false, State::Failed, "the server sent no cookies"},
        {"empty cookie",      cat({kProtocol, kAead, rec(5, {}), kEnd}), false, State::Failed, "the server sent an empty cookie"},
        {"1025-byte cookie",  cat({kProtocol, kAead, bigCookie, kEnd}), false, State::Failed, "the server sent a cookie of 1025 bytes, more than the 1024 a request can carry"},
        {"empty server name", cat({kProtocol, kAead, kCookie, rec(6, {}), kEnd}), false, State::Failed, "the server named an empty NTP server"},
        {"256-byte name",     cat({kProtocol, kAead, kCookie, rec(6, Bytes(256, 'a')), kEnd}), false, State::Failed, "the server named an NTP server longer than 255 characters"},
        {"space in name",     cat({kProtocol, kAead, kCookie, rec(6, {'a', ' ', 'b'}), kEnd}), false, State::Failed, "the server named an NTP server that is not printable ASCII"},
        {"DEL in name",       cat({kProtocol, kAead, kCookie, rec(6, {'a', 0x7F}), kEnd}), false, State::Failed, "the server named an NTP server that is not printable ASCII"},
        {"two server names",  cat({kProtocol, kAead, kCookie, rec(6, {'a'}), rec(6, {'b'}), kEnd}), false, State::Failed, "the server named more than one NTP server"},
        {"3-byte port",       cat({kProtocol, kAead, kCookie, rec(7, {0, 0, 123}), kEnd}), false, State::Failed, "the server sent a malformed NTP port record (3 bytes)"},
        {"port 0",            cat({kProtocol, kAead, kCookie, rec(7, {0, 0}), kEnd}), false, State::Failed, "the server named NTP port 0"},
        {"1-byte warning",    cat({kProtocol, kAead, kCookie, rec(3, {1}), kEnd}), false, State::Failed, "the server sent a malformed warning record (1 byte)"},
        {"end with a body",   cat({kProtocol, kAead, kCookie, rec(0x8000, {0, 0})}), false, State::Failed, "the server sent a malformed End of Message record (2 bytes)"},
        {"cookie cut, stream open", cat({kProtocol, kAead, {0, 5, 0, 9, 1, 2}}), false, State::NeedMore, ""},
        {"cookie cut, stream ended", cat({kProtocol, kAead, {0, 5, 0, 9, 1, 2}}), true, State::Failed, "the response was cut short"},
        {"header cut, stream ended", cat({kProtocol, kAead, kCookie, {0x80}}), true, State::Failed, "the response was cut short"},
        {"no end of message",  cat({kProtocol, kAead, kCookie}), true, State::Failed, "the response ended without an End of Message record"},
        {"nothing at all",     {}, true, State::Failed, "the server closed the connection without a response"},
        // 18 bytes before the filler, 4 of its header, 4 of End of Message: 64 KiB in all.
        {"exactly 64 KiB",     cat({kProtocol, kAead, kCookie, rec(0x0100, Bytes(65510, 0)), kEnd}), false, State::Complete, ""},
        {"a byte more",        cat({kProtocol, kAead, kCookie, rec(0x0100, Bytes(65511, 0)), kEnd}), false, State::Failed, "the response is longer than 64 KiB"},
        {"record past 64 KiB", cat({kProtocol, kAead, {0x01, 0x00, 0xFF, 0xFF}}), false, State::Failed, "the response is longer than 64 KiB"},
    };
    // clang-format on
    for (const Row& row : rows) {
        const KeParse p = parseKeResponse(row.response, row.ended);
        EXPECT_EQ(p.state, row.state) << row.what;
        EXPECT_EQ(p.failure, row.failure) << row.what;
    }
}

TEST(NtsRecords, CookiesPastTheEighthAreDropped) {
    Bytes response = cat({kProtocol, kAead});
    for (uint8_t i = 1; i <= 8; ++i)
        response = cat({response, rec(5, {i})});
    response = cat({response, rec(5, {}), rec(5, Bytes(2000, 9)), rec(5, {10}), kEnd});
    const KeParse p = parseKeResponse(response, false);
    ASSERT_EQ(p.state, State::Complete) << p.failure;
    EXPECT_EQ(p.response.cookies, (std::vector<Bytes>{{1}, {2}, {3}, {4}, {5}, {6}, {7}, {8}}));
}

} // namespace
} // namespace zymdate::nts
