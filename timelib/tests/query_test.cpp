// The time query against real sockets: a scripted server on 127.0.0.1 plays
// every kind of server, good and bad, and the export is called as a program would.
#include <gtest/gtest.h>

#include "clock/pc_clock_seam.h"
#include "query/query_failure.h"
#include "query/time_query.h"
#include "query_support.h"
#include "scripted_server.h"
#include "socket/socket_errors.h"
#include "socket/tcp_connection.h"
#include "time_support.h"
#include "zym.h"

#include <winsock2.h>

#include <atomic>
#include <string>

namespace zymdate {
namespace {

using namespace tw::testserver;
using test::civilTime;
using testing::callCheckAtomicTime;
using testing::loopbackAddress;
using testing::millisecondsBetween;

const std::string kLine = "52289 02-01-15 06:21:59 00 0 0 716.2 UTC(NIST) * ";
const std::string kSentLine = "\n" + kLine + "\n"; // as real servers send it

std::string errorText(int n) {
    return tw::takeBstr(::GETLASTERRORDESCRIPTION(n, 0));
}

// The correction: half the exchange time less 5 ms, which in whole milliseconds is
// always delay - 5, whatever the parity of the exchange time.
void expectCorrected(const testing::QueryCall& call, const SYSTEMTIME& received) {
    ASSERT_EQ(call.result, 1) << call.message;
    EXPECT_GE(call.delay, 0);
    EXPECT_EQ(call.delay, static_cast<long long>(call.delay)) << "delay is whole milliseconds";
    EXPECT_EQ(millisecondsBetween(received, call.time), static_cast<long long>(call.delay) - 5);
}

TEST(Query, DaytimeLineWithLineFeedsIsAccepted) {
    ScriptedServer server({send(kSentLine)});
    const auto call = callCheckAtomicTime("127.0.0.1", server.port(), 5);
    expectCorrected(call, civilTime(2002, 1, 15, 6, 21, 59));
    EXPECT_EQ(call.message, kLine);
    EXPECT_EQ(call.server, "127.0.0.1");
}

TEST(Query, ReplyLongerThanOneReceiveIsJoinedBeforeItIsJudged) {
    const std::string body(3000, 'x');
    ScriptedServer server({send(body.substr(0, 1000)), pause(50), send(body.substr(1000))});
    const auto call = callCheckAtomicTime("127.0.0.1", server.port(), 5);
    EXPECT_EQ(call.result, 0);
    EXPECT_EQ(call.message,
              "Network delays are preventing time from being received on time\r\n" + body);
}

TEST(Query, ReceiveFailuresAreWordedWithTheErrorNumber) {
    struct Case {
        const char* what;
        std::vector<Step> script;
        int timeout;
        int error;
    } cases[] = {
        {"endless stream", {stream(std::string(4096, '7'), 64u << 20)}, 5, net::kReplyTooLarge},
        {"silent server", {hold()}, 1, net::kTimedOut},
        {"line, then holds the connection", {send(kSentLine), hold()}, 1, net::kTimedOut},
        {"drips slower than the exchange allows", {drip(kSentLine, 150)}, 1, net::kExchangeTooLong},
    };
    for (auto& c : cases) {
        ScriptedServer server(c.script);
        const auto call = callCheckAtomicTime("127.0.0.1", server.port(), c.timeout);
        EXPECT_EQ(call.result, 0) << c.what;
        EXPECT_EQ(call.message, "Error  " + std::to_string(c.error) + " " + errorText(c.error))
            << c.what;
        server.stop();
    }
}

TEST(Query, ResetConnectionIsAFailure) {
    ScriptedServer server({reset()});
    const auto call = callCheckAtomicTime("127.0.0.1", server.port(), 5);
    EXPECT_EQ(call.result, 0);
    // Windows reports the reset to recv; Wine's socket layer may show it as a
    // close without data. Either way no time is taken from it.
    const std::string resetText = "Error  " + std::to_string(net::kConnectionFailed) + " " +
                                  errorText(net::kConnectionFailed);
    EXPECT_TRUE(call.message == resetText ||
                call.message == "127.0.0.1 closed the connection without sending a time")
        << call.message;
}

TEST(Query, ConnectionFailuresNameTheServer) {
    const auto refused = callCheckAtomicTime("127.0.0.1", refusedPort(), 5);
    EXPECT_EQ(refused.result, 0);
    EXPECT_EQ(refused.message, "Could not establish connection to 127.0.0.1");

    const auto unresolved = callCheckAtomicTime("no-such-host.invalid", 13, 5);
    EXPECT_EQ(unresolved.result, 0);
    EXPECT_EQ(unresolved.message, "Could not establish connection to no-such-host.invalid");

    const auto empty = callCheckAtomicTime("(local note)", 13, 5);
    EXPECT_EQ(empty.result, 0);
    EXPECT_EQ(empty.server, "");
    EXPECT_EQ(empty.message, "Could not establish connection to ");

    // The resolver would stop at the zero byte and reach a host other than the named one.
    ScriptedServer listening({send(kSentLine)});
    const std::string withZero("127.0.0.1\0.example", 18);
    const auto zero = callCheckAtomicTime(withZero, listening.port(), 5);
    EXPECT_EQ(zero.result, 0);
    EXPECT_EQ(zero.server, withZero);
    EXPECT_EQ(zero.message, "Could not establish connection to " + withZero);
}

TEST(Query, ServerNameIsHandedBackCleaned) {
    ScriptedServer server({send(kSentLine)});
    const auto call = callCheckAtomicTime("  localhost (the test server)", server.port(), 5);
    EXPECT_EQ(call.result, 1) << call.message;
    EXPECT_EQ(call.server, "localhost");
}

TEST(Query, KnownServerDelayShowsInDelayAndCorrection) {
    ScriptedServer server({pause(300), send(kSentLine)});
    const auto call = callCheckAtomicTime("127.0.0.1", server.port(), 5);
    expectCorrected(call, civilTime(2002, 1, 15, 6, 21, 59));
    // Half of at least 300 ms, less a tick of the millisecond counter, which on
    // Windows may advance in steps of up to 16 ms.
    EXPECT_GE(call.delay, 140);
}

TEST(Query, NoTimeOutOrAHugeOneWaitsAsLongAsTheServerTakes) {
    // 4294968 s in milliseconds exceeds 32 bits: wrapped, it would be a 704 ms wait.
    for (const int32_t timeout : {0, 4'294'968, INT32_MAX}) {
        ScriptedServer server({pause(1500), send(kSentLine)});
        const auto call = callCheckAtomicTime("127.0.0.1", server.port(), timeout);
        expectCorrected(call, civilTime(2002, 1, 15, 6, 21, 59));
    }
}

TEST(Query, PriorityIsHighDuringTheExchangeAndNormalAfterSuccessAndFailure) {
    // The server runs in this process, so it sees the query's priority class.
    std::atomic<DWORD> during{0};
    ScriptedServer good({sendFn([&during] {
        during = ::GetPriorityClass(::GetCurrentProcess());
        return kSentLine;
    })});
    callCheckAtomicTime("127.0.0.1", good.port(), 5);
    EXPECT_EQ(during.load(), static_cast<DWORD>(HIGH_PRIORITY_CLASS));
    EXPECT_EQ(::GetPriorityClass(::GetCurrentProcess()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
    callCheckAtomicTime("127.0.0.1", refusedPort(), 5);
    EXPECT_EQ(::GetPriorityClass(::GetCurrentProcess()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
}

// Nothing else in this program holds the sockets library once the scripted
// servers are gone, so a socket call then fails unless a query left it started.
TEST(Query, EveryOutcomeReleasesTheSocketsLibrary) {
    const auto socketsStillStarted = [] {
        const SOCKET probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (probe == INVALID_SOCKET)
            return ::WSAGetLastError() != WSANOTINITIALISED;
        ::closesocket(probe);
        return true;
    };
    ASSERT_FALSE(socketsStillStarted()) << "another test left the library started";
    const std::vector<std::vector<Step>> scripts = {{send(kSentLine)}, {hold()}, {reset()}};
    for (const auto& script : scripts) {
        {
            ScriptedServer server(script);
            callCheckAtomicTime("127.0.0.1", server.port(), 1);
        }
        EXPECT_FALSE(socketsStillStarted()) << script.front().bytes;
    }
    const uint16_t refused = refusedPort();
    callCheckAtomicTime("127.0.0.1", refused, 1);
    EXPECT_FALSE(socketsStillStarted()) << "refused";
    callCheckAtomicTime("(no name)", 13, 1);
    EXPECT_FALSE(socketsStillStarted()) << "no name";
}

TEST(QueryConnect, IPv6LoopbackAsLiteralBracketedAndWithANote) {
    if (!loopbackAvailable(Family::IPv6))
        GTEST_SKIP() << "this system cannot bind ::1 (IPv6 is off on its loopback)";
    ScriptedServer server({send(kSentLine)}, 0, Family::IPv6);
    struct Case {
        const char* given;
        const char* cleaned;
    } cases[] = {{"::1", "::1"}, {"[::1]", "[::1]"}, {"  ::1 (local)", "::1"}};
    for (const auto& c : cases) {
        const auto call = callCheckAtomicTime(c.given, server.port(), 5);
        EXPECT_EQ(call.result, 1) << c.given << ": " << call.message;
        EXPECT_EQ(call.server, c.cleaned);
    }
}

// The system would try for 21 s (Windows) or minutes (Linux) before giving up.
TEST(QueryConnect, AnAddressThatDropsPacketsFailsWithinTheTimeOut) {
    StalledListener stalled;
    if (!stalled.stalled())
        GTEST_SKIP() << "the system let every connection in: no full queue to test against";
    const ULONGLONG start = ::GetTickCount64();
    const auto call = callCheckAtomicTime("127.0.0.1", stalled.port(), 1);
    EXPECT_LT(::GetTickCount64() - start, 5000u);
    EXPECT_EQ(call.result, 0);
    EXPECT_EQ(call.message, "Could not establish connection to 127.0.0.1");
}

TEST(QueryConnect, EachAddressInTurnUntilOneAnswers) {
    StalledListener stalled;
    if (!stalled.stalled())
        GTEST_SKIP() << "the system let every connection in: no full queue to test against";
    ScriptedServer good({send(kSentLine)});
    const net::Address dropping = loopbackAddress(Family::IPv4, stalled.port());
    const net::Address refusing = loopbackAddress(Family::IPv4, refusedPort());
    const net::Address answering = loopbackAddress(Family::IPv4, good.port());
    struct Case {
        const char* what;
        std::vector<net::Address> addresses;
        int result;
    } cases[] = {
        {"refused, then one that answers", {refusing, answering}, net::kOk},
        {"dropping packets leaves the next its share", {dropping, answering}, net::kOk},
        {"all dropping: the time runs out", {dropping, dropping}, net::kTimedOut},
        {"all refusing", {refusing, refusing}, net::kConnectionFailed},
    };
    for (const auto& c : cases) {
        net::Connection connection;
        const ULONGLONG start = ::GetTickCount64();
        EXPECT_EQ(connection.open(c.addresses, 2000), c.result) << c.what;
        EXPECT_LT(::GetTickCount64() - start, 4000u) << c.what;
    }
}

// The export takes the four bytes in the order received, read as a little-endian number.
TEST(Rfc868Export, BytesAsReceivedGiveTheUtcTime) {
    struct Case {
        unsigned char bytes[4];
        SYSTEMTIME time;
    } cases[] = {
        {{0xE8, 0x3D, 0x52, 0x80}, civilTime(2023, 6, 21, 10, 42, 8)},
        {{0x00, 0x00, 0x00, 0x00}, civilTime(1900, 1, 1)},
        {{0xFF, 0xFF, 0xFF, 0xFF}, civilTime(2036, 2, 7, 6, 28, 15)},
        {{0x00, 0x00, 0x00, 0x01}, civilTime(1900, 1, 1, 0, 0, 1)},
    };
    for (const auto& c : cases) {
        const uint32_t value = c.bytes[0] | (c.bytes[1] << 8) | (c.bytes[2] << 16) |
                               (static_cast<uint32_t>(c.bytes[3]) << 24);
        SYSTEMTIME time{};
        EXPECT_EQ(::RFC868TOSYSTEMTIME(value, &time), 1);
        EXPECT_EQ(millisecondsBetween(c.time, time), 0) << std::hex << value;
        EXPECT_EQ(time.wDayOfWeek, c.time.wDayOfWeek) << std::hex << value;
    }
}

// White-box: a scripted millisecond counter makes the exchange time exact. It
// reads the first value once, when the exchange starts, and the second from then
// on: the deadlines of the connect and the reads, timed by the same counter, see
// no time pass.
DWORD counterValues[2];
int counterReads = 0;
DWORD WINAPI scriptedCounter() {
    return counterValues[counterReads++ == 0 ? 0 : 1];
}

// The exchange time is the counter's difference, which wraps with the counter.
TEST(QueryCorrection, ExchangeTimeOverTheCountersWrap) {
    PcClockSeam fake = pcClock();
    fake.millisecondCounter = scriptedCounter;
    tw::ScopedSeam<PcClockSeam> scoped(fake);
    counterValues[0] = 0xFFFFFFF0u;
    counterValues[1] = 0x50;
    counterReads = 0;
    ScriptedServer server({send("52289 02-01-15 06:22:00 00 0 0 716.2 UTC(NIST) * ")});
    const QueryOutcome out = checkAtomicTime("127.0.0.1", server.port(), 5);
    ASSERT_TRUE(out.ok) << out.message;
    EXPECT_EQ(out.delay, 48);
    EXPECT_EQ(millisecondsBetween(civilTime(2002, 1, 15, 6, 22, 0, 43), out.serverTime), 0)
        << out.serverTime.wMinute << ":" << out.serverTime.wSecond << "."
        << out.serverTime.wMilliseconds;
}

// One rule words a failure for TCP and NTP alike, by how far the exchange got.
TEST(QueryFailure, WordedByTheStageTheExchangeReached) {
    const struct {
        QueryStage stage;
        int error;
        std::string text;
    } cases[] = {
        {QueryStage::Reaching, net::kConnectionFailed, "Could not establish connection to h"},
        {QueryStage::Reaching, net::kTimedOut, "Could not establish connection to h"},
        {QueryStage::Reaching, net::kNoSockets, "Error ( 68)" + errorText(68)},
        {QueryStage::AwaitingReply, net::kTimedOut, "Error  24 " + errorText(24)},
        {QueryStage::AwaitingReply, net::kConnectionFailed, "Error  57 " + errorText(57)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(failureText("h", c.stage, c.error), c.text) << c.error;
}

TEST(QuerySlot, OnlyOneQueryAtATime) {
    ScriptedServer holding({hold()});
    net::Connection first;
    ASSERT_EQ(first.open("127.0.0.1", holding.port()), net::kOk);
    const QueryOutcome second = checkAtomicTime("127.0.0.1", holding.port(), 1);
    EXPECT_FALSE(second.ok);
    EXPECT_EQ(second.message.rfind("Error ( 55)", 0), 0u) << second.message;
    first.close();
    holding.stop();
}

} // namespace
} // namespace zymdate
