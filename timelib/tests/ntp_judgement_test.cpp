// The NTP reply judge over crafted packets, without a server: which datagrams
// are ignored, which refused and with what text, the offset and delay
// arithmetic, and NTP's era boundary in 2036.
#include <gtest/gtest.h>

#include "ntp_server_reply.h"
#include "query/ntp_judgement.h"
#include "query/ntp_packet.h"
#include "time_support.h"
#include "tw/filetime.h"
#include "zymdate_texts.h"

#include <cmath>

namespace zymdate {
namespace {

using tw::testserver::ntpCode;
using tw::testserver::NtpFields;
using tw::testserver::ntpPacket;

constexpr uint64_t kSecond = uint64_t{1} << 32;
constexpr int64_t kUnitsPerMs = tw::kUnitsPerMillisecond;
constexpr ntp::Timestamp kCookie = 0x0123456789ABCDEFu;      // the request's transmit field
constexpr ntp::Timestamp kSentAt = 3'900'000'000u * kSecond; // t1, in 2023

// The timestamp ms milliseconds after t1 (before it when negative).
ntp::Timestamp afterSent(double ms) {
    return kSentAt + static_cast<uint64_t>(std::llround(ms * 4'294'967.296));
}

// A healthy stratum-2 answer: the server is 1250 ms ahead, the request took
// 3 ms out, the server held it 1 ms, the reply took 1 ms back.
NtpFields goodReply() {
    NtpFields f;
    f.stratum = 2;
    f.referenceId = 0xC0000201; // 192.0.2.1
    f.rootDelay = 655;          // 10 ms in 16.16
    f.rootDispersion = 1311;    // 20 ms
    f.originate = kCookie;
    f.receive = afterSent(1253);
    f.transmit = afterSent(1254);
    return f;
}
const ntp::Timestamp kReceivedAt = afterSent(5); // t4

const SentRequest kSent[] = {{kCookie, kSentAt}};

NtpJudgement judge(const std::string& datagram) {
    return judgeNtpReply("srv", datagram, kSent, kReceivedAt);
}

// One row per check: how the reply differs from a healthy one, and the finding.
TEST(NtpJudgement, EachCheckAcceptsOrRefuses) {
    using F = NtpFields&;
    using enum NtpFinding;
    const std::string sick = "srv appears to be unhealthy (";
    const std::string later = "), please check again in 10 minutes or more";
    const std::string kiss = "srv sent the kiss-o'-death code ";
    struct Row {
        const char* what;
        void (*change)(NtpFields&);
        NtpFinding finding;
        std::string message; // refusals: the whole text
    };
    // clang-format off
    const Row rows[] = {
        {"healthy stratum 2",              [](F) {},                           Accepted, ""},
        {"version 3 is still spoken",      [](F f) { f.version = 3; },         Accepted, ""},
        {"leap second announced",          [](F f) { f.leap = 1; },            Accepted, ""},
        {"stratum 15",                     [](F f) { f.stratum = 15; },        Accepted, ""},
        {"root distance just under 1.5 s", [](F f) { f.rootDelay = 65536; f.rootDispersion = 65535; }, Accepted, ""},
        {"our own request reflected",      [](F f) { f.mode = 3; },            NotServerMode, ""},
        {"version 2",                      [](F f) { f.version = 2; },         UnknownVersion, ""},
        {"version 5",                      [](F f) { f.version = 5; },         UnknownVersion, ""},
        {"stale or forged",                [](F f) { f.originate = kCookie + 1; }, NotOurRequest, ""},
        {"forged kiss",                    [](F f) { f.stratum = 0; f.referenceId = ntpCode("RATE"); f.originate = ~kCookie; }, NotOurRequest, ""},
        {"no transmit time",               [](F f) { f.transmit = 0; },        NoTransmitTime, ""},
        {"kiss RATE, leap 3 as sent",      [](F f) { f.leap = 3; f.stratum = 0; f.referenceId = ntpCode("RATE"); }, Kiss,
         kiss + "RATE: it asks to be asked less often, please wait before asking again"},
        {"kiss DENY",                      [](F f) { f.stratum = 0; f.referenceId = ntpCode("DENY"); }, Kiss,
         kiss + "DENY: it refuses to serve this computer, please try another server"},
        {"kiss, unprintable code",         [](F f) { f.stratum = 0; f.referenceId = 0x01414200; }, Kiss,
         kiss + "?AB, please try another server"},
        {"leap indicator 3",               [](F f) { f.leap = 3; },            Unsynchronized, sick + "its clock is not synchronized" + later},
        {"stratum 16",                     [](F f) { f.stratum = 16; },        Unsynchronized, sick + "its clock is not synchronized" + later},
        {"stratum 17",                     [](F f) { f.stratum = 17; },        InvalidStratum, "srv is very unhealthy (stratum 17), please try another server"},
        {"root dispersion 1.5 s",          [](F f) { f.rootDelay = 0; f.rootDispersion = 98304; }, TooUncertain, sick + "its time is uncertain by 1500 ms" + later},
        {"root delay 3 s counts half",     [](F f) { f.rootDelay = 196608; f.rootDispersion = 0; }, TooUncertain, sick + "its time is uncertain by 1500 ms" + later},
        {"largest root fields, no wrap",   [](F f) { f.rootDelay = f.rootDispersion = 0xFFFFFFFF; }, TooUncertain, sick + "its time is uncertain by 98303999 ms" + later},
    };
    // clang-format on
    for (const Row& row : rows) {
        NtpFields fields = goodReply();
        row.change(fields);
        const NtpJudgement j = judge(ntpPacket(fields));
        EXPECT_EQ(j.finding, row.finding) << row.what;
        if (row.finding == Accepted) {
            EXPECT_NEAR(j.offsetUnits, 1251 * kUnitsPerMs, 1) << row.what;
        } else {
            EXPECT_EQ(j.message, row.message) << row.what; // ignored: no text at all
        }
    }
}

TEST(NtpJudgement, LengthDecidesOnlyBelowFortyEightBytes) {
    const std::string packet = ntpPacket(goodReply());
    EXPECT_EQ(judge(packet.substr(0, 47)).finding, NtpFinding::TooShort);
    EXPECT_EQ(judge("").finding, NtpFinding::TooShort);
    // An extension field or authenticator after the header is not read.
    EXPECT_EQ(judge(packet + std::string(20, '\x7F')).finding, NtpFinding::Accepted);
}

// Callers ask a server less often when its refusal holds this phrase, and only then.
TEST(NtpJudgement, RateKissCarriesThePhraseCallersLookFor) {
    NtpFields f = goodReply();
    f.stratum = 0;
    for (const char* code : {"RATE", "RSTR", "DENY", "RAT"}) {
        f.referenceId = ntpCode(code);
        const NtpJudgement j = judge(ntpPacket(f));
        EXPECT_EQ(j.kissCode, code);
        EXPECT_EQ(j.message.find(ZYMDATE_RATE_KISS_TEXT) != std::string::npos,
                  std::string(code) == "RATE")
            << code;
    }
}

TEST(NtpJudgement, SummaryNamesStratumReferenceOffsetAndDelay) {
    EXPECT_EQ(judge(ntpPacket(goodReply())).message,
              "NTP time from srv: stratum 2, reference 192.0.2.1, offset +1251.0 ms, delay 4.0 ms");
    NtpFields f = goodReply();
    f.stratum = 1;
    f.referenceId = ntpCode("GPS");
    f.receive = afterSent(-2000);
    f.transmit = afterSent(-1999.5);
    EXPECT_EQ(judge(ntpPacket(f)).message,
              "NTP time from srv: stratum 1, reference GPS, offset -2002.3 ms, delay 4.5 ms");
}

// offset = ((t2 - t1) + (t3 - t4)) / 2, delay = (t4 - t1) - (t3 - t2), in
// milliseconds from t1; the server's clock stands `truth` ms from ours.
TEST(NtpJudgement, OffsetAndDelayFromTheFourTimestamps) {
    struct Row {
        const char* what;
        double t2, t3, t4;
        double offsetMs, delayMs;
    } rows[] = {
        {"symmetric 2 ms each way, truth +1250", 1252, 1252, 4, 1250, 4},
        {"3 ms out, 1 back: off by half the asymmetry", 1253, 1254, 5, 1251, 4},
        {"1 ms out, 3 back: off the other way", 1251, 1252, 5, 1249, 4},
        {"server behind by 2 s, held 10 ms", -1998, -1988, 14, -2000, 4},
        {"half-millisecond fractions", 0.25, 0.75, 1.5, -0.25, 1},
        {"hold longer than the round trip: no negative delay", 10, 30, 5, 17.5, 0},
        {"fifty years ahead", 50 * 365.25 * 86'400'000.0, 50 * 365.25 * 86'400'000.0, 0,
         50 * 365.25 * 86'400'000.0, 0},
    };
    for (const Row& row : rows) {
        NtpFields f = goodReply();
        f.receive = afterSent(row.t2);
        f.transmit = afterSent(row.t3);
        const NtpJudgement j = judgeNtpReply("srv", ntpPacket(f), kSent, afterSent(row.t4));
        ASSERT_EQ(j.finding, NtpFinding::Accepted) << row.what;
        // Within a microsecond: the timestamps in milliseconds go through a double.
        EXPECT_NEAR(static_cast<double>(j.offsetUnits), row.offsetMs * kUnitsPerMs, 10) << row.what;
        EXPECT_NEAR(static_cast<double>(j.delayUnits), row.delayMs * kUnitsPerMs, 10) << row.what;
    }
}

// The reply to a repeated request may answer any of them; its own t1 times it.
TEST(NtpJudgement, ReplyIsTimedFromTheRequestItAnswers) {
    const SentRequest sent[] = {{kCookie, kSentAt}, {kCookie + 7, afterSent(1000)}};
    NtpFields f = goodReply();
    f.originate = kCookie + 7;
    f.receive = afterSent(1001);
    f.transmit = f.receive;
    const NtpJudgement j = judgeNtpReply("srv", ntpPacket(f), sent, afterSent(1002));
    ASSERT_EQ(j.finding, NtpFinding::Accepted);
    EXPECT_NEAR(j.offsetUnits, 0, 1);
    EXPECT_NEAR(j.delayUnits, 2 * kUnitsPerMs, 1);
}

// Era 0 ends on 7 February 2036 06:28:16 UTC, when the 32-bit seconds wrap.
TEST(NtpEra, OffsetAcrossTheRolloverInBothDirections) {
    struct Row {
        const char* what;
        ntp::Timestamp t1, t2;
        double offsetMs;
    } rows[] = {
        {"PC in era 0, server 2 s later in era 1", 0xFFFFFFFFull << 32, 1ull << 32, 2000},
        {"PC in era 1, server 4 s behind in era 0", 2ull << 32, 0xFFFFFFFEull << 32, -4000},
        {"both in era 1", 5ull << 32, 6ull << 32, 1000},
    };
    for (const Row& row : rows) {
        NtpFields f = goodReply();
        f.receive = row.t2;
        f.transmit = row.t2;
        const SentRequest sent[] = {{kCookie, row.t1}};
        const NtpJudgement j = judgeNtpReply("srv", ntpPacket(f), sent, row.t1);
        ASSERT_EQ(j.finding, NtpFinding::Accepted) << row.what;
        EXPECT_EQ(j.offsetUnits, static_cast<int64_t>(row.offsetMs * kUnitsPerMs)) << row.what;
    }
}

TEST(NtpEra, PcClockBecomesTheTimestampOfItsEra) {
    const auto units = [](const SYSTEMTIME& t) { return tw::systemTimeToUnits(t); };
    using test::civilTime;
    struct Row {
        SYSTEMTIME time;
        ntp::Timestamp expected;
    } rows[] = {
        {civilTime(1900, 1, 1), 0},
        {civilTime(1970, 1, 1), 2'208'988'800ull << 32}, // the Unix epoch, as RFC 868 counts it
        {civilTime(2036, 2, 7, 6, 28, 15, 500), (0xFFFFFFFFull << 32) | 0x80000000u},
        {civilTime(2036, 2, 7, 6, 28, 16), 0}, // era 1 begins
        {civilTime(2036, 2, 7, 6, 28, 17, 250), (1ull << 32) | 0x40000000u},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ntp::fromUnits(units(row.time)), row.expected) << test::describe(row.time);
        EXPECT_EQ(ntp::unitsBetween(row.expected, ntp::fromUnits(units(row.time))), 0);
    }
}

TEST(NtpRequest, ClientModeVersionFourAndNothingButTheCookie) {
    const std::string request = ntp::clientRequest(kCookie);
    ASSERT_EQ(request.size(), 48u);
    EXPECT_EQ(static_cast<unsigned char>(request[0]), (4 << 3) | 3);
    EXPECT_EQ(tw::testserver::ntpTransmitOf(request), kCookie);
    EXPECT_EQ(request.substr(1, 39), std::string(39, '\0')); // no clock, no reference leaks
}

} // namespace
} // namespace zymdate
