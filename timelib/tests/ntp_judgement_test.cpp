// The NTP reply judge over crafted packets, without a server: which datagrams
// are ignored, which refused and with what text, the offset and delay
// arithmetic, and NTP's era boundary in 2036.
#include <gtest/gtest.h>

#include "ntp_judgement.h"
#include "ntp_packet.h"
#include "ntp_server_reply.h"
#include "time_support.h"
#include "zymdate_texts.h"

#include <cmath>
#include <functional>
#include <vector>

namespace zymdate {
namespace {

using tw::testserver::ntpCode;
using tw::testserver::NtpFields;
using tw::testserver::ntpPacket;

constexpr uint64_t kSecond = uint64_t{1} << 32;
constexpr int64_t kUnitsPerMs = 10'000;
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
    f.referenceId = 0xC0000201;             // 192.0.2.1
    f.rootDelay = ntp::kShortOne / 100;     // 10 ms
    f.rootDispersion = ntp::kShortOne / 50; // 20 ms
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

TEST(NtpJudgement, EachCheckAcceptsOrRefuses) {
    struct Row {
        const char* what;
        std::function<void(NtpFields&)> change;
        NtpFinding finding;
        std::string message; // refusals: the whole text
    };
    const Row rows[] = {
        {"healthy stratum 2", [](NtpFields&) {}, NtpFinding::Accepted, ""},
        {"version 3 is still spoken", [](NtpFields& f) { f.version = 3; }, NtpFinding::Accepted,
         ""},
        {"leap second announced", [](NtpFields& f) { f.leap = 1; }, NtpFinding::Accepted, ""},
        {"stratum 15", [](NtpFields& f) { f.stratum = 15; }, NtpFinding::Accepted, ""},
        {"root distance just under 1.5 s",
         [](NtpFields& f) {
             f.rootDelay = ntp::kShortOne;
             f.rootDispersion = ntp::kShortOne - 1;
         },
         NtpFinding::Accepted, ""},
        {"client mode: our own request reflected", [](NtpFields& f) { f.mode = 3; },
         NtpFinding::NotServerMode, ""},
        {"broadcast mode", [](NtpFields& f) { f.mode = 5; }, NtpFinding::NotServerMode, ""},
        {"version 2", [](NtpFields& f) { f.version = 2; }, NtpFinding::UnknownVersion, ""},
        {"version 5", [](NtpFields& f) { f.version = 5; }, NtpFinding::UnknownVersion, ""},
        {"stale or forged: another originate", [](NtpFields& f) { f.originate = kCookie + 1; },
         NtpFinding::NotOurRequest, ""},
        {"originate zero", [](NtpFields& f) { f.originate = 0; }, NtpFinding::NotOurRequest, ""},
        {"forged kiss: wrong originate",
         [](NtpFields& f) {
             f.stratum = 0;
             f.referenceId = ntpCode("RATE");
             f.originate = ~kCookie;
         },
         NtpFinding::NotOurRequest, ""},
        {"no transmit time", [](NtpFields& f) { f.transmit = 0; }, NtpFinding::NoTransmitTime, ""},
        {"kiss RATE, with leap 3 as servers send it",
         [](NtpFields& f) {
             f.stratum = 0;
             f.leap = 3;
             f.referenceId = ntpCode("RATE");
         },
         NtpFinding::Kiss,
         "srv sent the kiss-o'-death code RATE: it asks to be asked less often, please wait "
         "before asking again"},
        {"kiss DENY",
         [](NtpFields& f) {
             f.stratum = 0;
             f.referenceId = ntpCode("DENY");
         },
         NtpFinding::Kiss,
         "srv sent the kiss-o'-death code DENY: it refuses to serve this computer, please try "
         "another server"},
        {"kiss with an unprintable code",
         [](NtpFields& f) {
             f.stratum = 0;
             f.referenceId = 0x01414200;
         },
         NtpFinding::Kiss, "srv sent the kiss-o'-death code ?AB, please try another server"},
        {"leap indicator 3: not synchronized", [](NtpFields& f) { f.leap = 3; },
         NtpFinding::Unsynchronized,
         "srv appears to be unhealthy (its clock is not synchronized), please check again in 10 "
         "minutes or more"},
        {"stratum 16: not synchronized", [](NtpFields& f) { f.stratum = 16; },
         NtpFinding::Unsynchronized,
         "srv appears to be unhealthy (its clock is not synchronized), please check again in 10 "
         "minutes or more"},
        {"stratum 17", [](NtpFields& f) { f.stratum = 17; }, NtpFinding::InvalidStratum,
         "srv is very unhealthy (stratum 17), please try another server"},
        {"stratum 255", [](NtpFields& f) { f.stratum = 255; }, NtpFinding::InvalidStratum,
         "srv is very unhealthy (stratum 255), please try another server"},
        {"root dispersion 1.5 s",
         [](NtpFields& f) {
             f.rootDelay = 0;
             f.rootDispersion = 3 * ntp::kShortOne / 2;
         },
         NtpFinding::TooUncertain,
         "srv appears to be unhealthy (its time is uncertain by 1500 ms), please check again in "
         "10 minutes or more"},
        {"root delay 3 s counts half",
         [](NtpFields& f) {
             f.rootDelay = 3 * ntp::kShortOne;
             f.rootDispersion = 0;
         },
         NtpFinding::TooUncertain,
         "srv appears to be unhealthy (its time is uncertain by 1500 ms), please check again in "
         "10 minutes or more"},
        {"root delay at its largest must not wrap",
         [](NtpFields& f) {
             f.rootDelay = 0xFFFFFFFF;
             f.rootDispersion = 0xFFFFFFFF;
         },
         NtpFinding::TooUncertain,
         "srv appears to be unhealthy (its time is uncertain by 98303999 ms), please check again "
         "in 10 minutes or more"},
    };
    for (const Row& row : rows) {
        NtpFields fields = goodReply();
        row.change(fields);
        const NtpJudgement j = judge(ntpPacket(fields));
        EXPECT_EQ(j.finding, row.finding) << row.what;
        if (row.finding == NtpFinding::Accepted)
            EXPECT_NEAR(j.offsetUnits, 1251 * kUnitsPerMs, 1) << row.what;
        else if (isIgnored(row.finding))
            EXPECT_EQ(j.message, "") << row.what;
        else
            EXPECT_EQ(j.message, row.message) << row.what;
    }
}

TEST(NtpJudgement, LengthDecidesOnlyBelowFortyEightBytes) {
    const std::string packet = ntpPacket(goodReply());
    EXPECT_EQ(judge(packet.substr(0, 47)).finding, NtpFinding::TooShort);
    EXPECT_EQ(judge("").finding, NtpFinding::TooShort);
    // An extension field or authenticator after the header is not read.
    EXPECT_EQ(judge(packet + std::string(20, '\x7F')).finding, NtpFinding::Accepted);
}

TEST(NtpJudgement, RateKissCarriesThePhraseCallersLookFor) {
    NtpFields f = goodReply();
    f.stratum = 0;
    f.referenceId = ntpCode("RATE");
    const NtpJudgement rate = judge(ntpPacket(f));
    EXPECT_EQ(rate.kissCode, "RATE");
    EXPECT_NE(rate.message.find(ZYMDATE_RATE_KISS_TEXT), std::string::npos);
    f.referenceId = ntpCode("RSTR");
    EXPECT_EQ(judge(ntpPacket(f)).message.find(ZYMDATE_RATE_KISS_TEXT), std::string::npos);
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
    const auto units = [](const SYSTEMTIME& t) {
        FILETIME ft{};
        ::SystemTimeToFileTime(&t, &ft);
        return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) |
                                    ft.dwLowDateTime);
    };
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
