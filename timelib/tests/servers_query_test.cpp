// Robust time: the selection of the agreed time, the rules of a burst, the
// verdicts and texts of several answers, and the export end to end against
// scripted NTP servers on 127.0.0.x sharing one port, as servers on several
// hosts do.
#include <gtest/gtest.h>

#include "native_ntp_server.h"
#include "ntp_server_reply.h"
#include "query/burst_rules.h"
#include "query/time_agreement.h"
#include "query/time_selection.h"
#include "scripted_server.h"
#include "tw/bstr.h"
#include "tw/filetime.h"
#include "tw/time_outcome.h"
#include "zymdate.h"

#include <mutex>
#include <string>
#include <vector>

namespace zymdate {
namespace {

using namespace tw::testserver;

constexpr int64_t kMs = tw::kUnitsPerMillisecond;

TEST(TimeSelection, MiddleOfTheLargestOverlapWhenMoreThanHalfAgree) {
    const struct {
        const char* name;
        std::vector<TimeInterval> answers; // milliseconds
        bool agreed;
        std::vector<bool> inMajority;
        int64_t lowMs, highMs;
    } rows[] = {
        {"three agreeing", {{10, 5}, {12, 5}, {8, 5}}, true, {true, true, true}, 7, 13},
        {"one falseticker among three",
         {{0, 5}, {3'600'000, 5}, {2, 5}},
         true,
         {true, false, true},
         -3,
         5},
        {"two disagreeing", {{0, 5}, {100, 5}}, false, {false, false}, 0, 0},
        {"one answering", {{40, 10}}, true, {true}, 30, 50},
        {"intervals that touch overlap",
         {{0, 5}, {10, 5}, {500, 5}},
         true,
         {true, true, false},
         5,
         5},
        {"two against two", {{0, 1}, {0, 1}, {50, 1}, {50, 1}}, false, {}, 0, 0},
    };
    for (const auto& row : rows) {
        std::vector<TimeInterval> units;
        for (const TimeInterval& a : row.answers)
            units.push_back({a.offsetUnits * kMs, a.halfWidthUnits * kMs});
        const TimeSelection s = selectTime(units);
        EXPECT_EQ(s.agreed, row.agreed) << row.name;
        if (!row.agreed)
            continue;
        EXPECT_EQ(s.inMajority, row.inMajority) << row.name;
        EXPECT_EQ(s.lowUnits, row.lowMs * kMs) << row.name;
        EXPECT_EQ(s.highUnits, row.highMs * kMs) << row.name;
        EXPECT_EQ(s.offsetUnits(), (row.lowMs + row.highMs) * kMs / 2) << row.name;
    }
    EXPECT_FALSE(selectTime({}).agreed);
}

TEST(BurstRules, LeastDelayIsChosenAndTheBurstEndsOnTheFloor) {
    const auto samples = [](std::vector<double> delaysMs) {
        std::vector<Sample> out;
        for (double d : delaysMs)
            out.push_back({0, static_cast<int64_t>(d * kMs), 0, ""});
        return out;
    };
    const struct {
        std::vector<double> delaysMs;
        size_t least;
        bool settled;
    } rows[] = {
        {{30}, 0, false},          // one sample says nothing of the floor
        {{30, 12}, 1, false},      // far below the least: the floor may lie lower
        {{12, 30, 12.8}, 0, true}, // back within 1 ms of the least
        {{12, 13.5}, 0, false},    // 1.5 ms above
        {{12, 11.2}, 1, true},     // within 1 ms below
        {{20, 20}, 0, true},       // equals: the first is kept
    };
    for (const auto& row : rows) {
        const auto s = samples(row.delaysMs);
        EXPECT_EQ(leastDelaySample(s), row.least) << ::testing::PrintToString(row.delaysMs);
        EXPECT_EQ(burstSettled(s), row.settled) << ::testing::PrintToString(row.delaysMs);
    }
    // A silent server leaves the later ones of a long list their time, the last all of it.
    EXPECT_EQ(contactShareMs(30'000, 20), 10'000u);
    EXPECT_EQ(contactShareMs(30'000, 1), 15'000u);
    EXPECT_EQ(contactShareMs(30'000, 0), 30'000u);
    EXPECT_EQ(contactShareMs(0, 3), 0u);
}

ServerAnswer answered(const char* server, double offsetMs, double delayMs, double rootMs = 0) {
    ServerAnswer a;
    a.server = server;
    a.samples = 1;
    a.offsetUnits = static_cast<int64_t>(offsetMs * kMs);
    a.delayUnits = static_cast<int64_t>(delayMs * kMs);
    a.rootDistanceUnits = static_cast<int64_t>(rootMs * kMs);
    a.message = std::string("NTP time from ") + server;
    return a;
}

ServerAnswer silent(const char* server) {
    ServerAnswer a;
    a.server = server;
    a.message = std::string("Could not establish connection to ") + server;
    return a;
}

TEST(TimeAgreement, VerdictsSourceAndTexts) {
    const int64_t now = 133'000'000'000'000'000; // some time in 2022
    {
        const ServersOutcome o = combineAnswers(
            {answered("a", 3'600'000, 10), answered("b", 5, 4), silent("c"), answered("d", 7, 10)},
            now);
        ASSERT_TRUE(o.ok) << o.message;
        EXPECT_EQ(o.answers[0].verdict, AnswerVerdict::Falseticker);
        EXPECT_EQ(o.answers[0].message, "a disagreed with 2 other servers and was not used");
        EXPECT_EQ(o.answers[1].verdict, AnswerVerdict::Used);
        EXPECT_EQ(o.answers[2].verdict, AnswerVerdict::Refused);
        EXPECT_EQ(o.source, "b"); // the narrowest interval of those agreeing
        // b: 3..7 ms, d: 2..12 ms; the middle of 3..7.
        EXPECT_EQ(o.offsetUnits, 5 * kMs);
        EXPECT_EQ(o.errorBoundUnits, 2 * kMs);
        EXPECT_EQ(o.message, "Time from b within 2.0 ms; offsets: a +3600000.0 ms (disagreed, "
                             "not used), b +5.0 ms, c (gave no time), d +7.0 ms");
    }
    {
        const ServersOutcome o = combineAnswers({answered("a", 0, 2), answered("b", 900, 2)}, now);
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.answers[0].verdict, AnswerVerdict::NoMajority);
        EXPECT_EQ(
            o.message,
            "a and b disagree by 900.0 ms: with no third server to settle it, no time was used");
    }
    {
        const ServersOutcome o = combineAnswers({silent("a"), silent("b")}, now);
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.message, "No server gave the time: Could not establish connection to a; "
                             "Could not establish connection to b");
    }
    {
        // One server alone: its own words, as a single query gives them.
        const ServersOutcome o = combineAnswers({answered("a", 250, 8)}, now);
        ASSERT_TRUE(o.ok);
        EXPECT_EQ(o.message, "NTP time from a");
        EXPECT_EQ(tw::systemTimeToUnits(o.serverTime), now + 250 * kMs);
    }
}

// ---- the export against scripted servers -----------------------------------

struct Asked {
    int32_t result = -1;
    tw::OwnedTimeOutcome owned;
    ZYMDATE_TIME_OUTCOME& outcome = owned.value;
    double aheadMs = 0; // serverTime less the PC clock when the call returned
    ULONGLONG tookMs = 0;
    std::vector<std::string> progress;

    std::string message() const { return tw::fromBstr(outcome.message); }
    std::string server(int i) const { return tw::fromBstr(outcome.answers[i].server); }
};

void WINAPI noteProgress(void* context, BSTR text) {
    static_cast<Asked*>(context)->progress.push_back(tw::fromBstr(text));
}

void ask(Asked& asked, const std::string& servers, uint16_t port, int timeout, int serversToAsk,
         int samples) {
    const tw::unique_bstr list = tw::ownedBstr(servers);
    const ULONGLONG start = ::GetTickCount64();
    asked.result = ::ASKTIMESERVERS(list.get(), port, timeout, serversToAsk, samples, &noteProgress,
                                    &asked, &asked.outcome);
    const int64_t pcNow = pcClockUnits();
    asked.tookMs = ::GetTickCount64() - start;
    if (asked.result == 1)
        asked.aheadMs =
            static_cast<double>(tw::systemTimeToUnits(asked.outcome.serverTime) - pcNow) / kMs;
}

NtpServerSetup ahead(double ms) {
    NtpServerSetup setup;
    setup.offsetMs = ms;
    setup.fields.referenceId = ntpCode("GPS");
    return setup;
}

Answer silence() {
    return [](const std::string&, int) { return std::vector<Datagram>{}; };
}

constexpr double kToleranceMs = 50; // a loaded machine, not the arithmetic
constexpr uint16_t kNtp = 123;      // the port that asks over NTP

TEST(AskTimeServers, AFalsetickerAmongThreeIsNamedAndNotUsed) {
    DatagramServer first(ntpServer(ahead(250)), kNtp);
    NativeNtpServer off(2, kNtp, 3'600'000);
    NativeNtpServer third(3, kNtp, 250);
    ASSERT_TRUE(first.listening() && off.answering() && third.answering());

    Asked asked;
    ask(asked, "127.0.0.1 (first)\r\n127.0.0.2\r\n127.0.0.3\r\n", kNtp, 10, 3, 1);
    ASSERT_EQ(asked.result, 1) << asked.message();
    EXPECT_NEAR(asked.aheadMs, 250, kToleranceMs);
    ASSERT_EQ(asked.outcome.answerCount, 3);
    EXPECT_EQ(asked.server(0), "127.0.0.1");
    EXPECT_EQ(asked.outcome.answers[0].verdict, ZYMDATE_ANSWER_USED);
    EXPECT_EQ(asked.outcome.answers[1].verdict, ZYMDATE_ANSWER_FALSETICKER);
    EXPECT_NEAR(asked.outcome.answers[1].offsetMs, 3'600'000, kToleranceMs);
    EXPECT_EQ(tw::fromBstr(asked.outcome.answers[1].message),
              "127.0.0.2 disagreed with 2 other servers and was not used");
    EXPECT_EQ(asked.outcome.answers[2].verdict, ZYMDATE_ANSWER_USED);
    EXPECT_NE(asked.message().find("127.0.0.2 +3"), std::string::npos) << asked.message();
    EXPECT_NE(asked.message().find("(disagreed, not used)"), std::string::npos);
    EXPECT_EQ(asked.progress.front(), "Asking 3 servers");
}

TEST(AskTimeServers, TwoThatDisagreeGiveNoTime) {
    DatagramServer first(ntpServer(ahead(0)), kNtp);
    NativeNtpServer second(2, kNtp, 90'000);
    ASSERT_TRUE(first.listening() && second.answering());
    Asked asked;
    ask(asked, "127.0.0.1\n127.0.0.2", kNtp, 10, 2, 1);
    EXPECT_EQ(asked.result, 0);
    EXPECT_EQ(asked.message().rfind("127.0.0.1 and 127.0.0.2 disagree by ", 0), 0u)
        << asked.message();
    EXPECT_EQ(asked.outcome.answers[1].verdict, ZYMDATE_ANSWER_NO_MAJORITY);
}

// A silent current server hands over to the next of the list, which still has
// time to answer within the call's one time-out; repeats of a name are asked once.
TEST(AskTimeServers, ASilentServerHandsOverWithinTheTimeOut) {
    DatagramServer quiet(silence(), kNtp);
    NativeNtpServer next(2, kNtp, -400);
    ASSERT_TRUE(quiet.listening() && next.answering());
    Asked asked;
    ask(asked, "127.0.0.1\n127.0.0.1 (again)\n\n127.0.0.2", kNtp, 6, 1, 1);
    ASSERT_EQ(asked.result, 1) << asked.message();
    EXPECT_NEAR(asked.aheadMs, -400, kToleranceMs);
    ASSERT_EQ(asked.outcome.answerCount, 2);
    EXPECT_EQ(asked.outcome.answers[0].verdict, ZYMDATE_ANSWER_REFUSED);
    EXPECT_EQ(asked.outcome.answers[0].answered, 0);
    EXPECT_EQ(tw::fromBstr(asked.outcome.source), "127.0.0.2");
    EXPECT_LT(asked.tookMs, 6'000u);
    EXPECT_GE(quiet.requestsReceived(), 2); // its lost requests were repeated
    EXPECT_EQ(asked.progress, (std::vector<std::string>{"Asking 127.0.0.1", "Asking 127.0.0.2"}));

    Asked none;
    ask(none, "127.0.0.1", kNtp, 2, 1, 1);
    EXPECT_EQ(none.result, 0);
    EXPECT_LT(none.tookMs, 3'000u);
}

// Samples at the courtesy spacing, the least delay kept: the path's return
// leg takes 40, 12, 30 then 12.3 ms, and the fourth, back on the floor, ends
// the burst on a quiet machine. A loaded one may blur the floor by more than
// the millisecond the early end allows (the rule itself is in BurstRules), so
// the burst may run on to all eight; the choice of the least delay must hold.
TEST(AskTimeServers, ABurstKeepsTheSampleWithTheLeastDelay) {
    std::mutex lock;
    std::vector<ULONGLONG> arrivals;
    const Answer plain = ntpServer(ahead(0));
    DatagramServer server(
        [&](const std::string& request, int number) {
            {
                const std::lock_guard hold(lock);
                arrivals.push_back(::GetTickCount64());
            }
            static const double returnMs[] = {40, 12, 30, 12.3, 50, 50, 50, 50};
            auto reply = plain(request, number);
            holdFor(returnMs[(number - 1) % 8]);
            return reply;
        },
        kNtp);
    Asked asked;
    ask(asked, "127.0.0.1", kNtp, 30, 1, 8);
    ASSERT_EQ(asked.result, 1) << asked.message();
    const int samples = asked.outcome.answers[0].samples;
    EXPECT_TRUE(samples == 4 || samples == 8) << samples;
    EXPECT_LT(asked.outcome.delayMs, 26); // the 12 ms ones, not the 30 ms one, on a loaded machine too
    EXPECT_GE(asked.outcome.delayMs, 11);
    ASSERT_EQ(arrivals.size(), static_cast<size_t>(samples));
    for (size_t i = 1; i < arrivals.size(); ++i)
        EXPECT_GE(arrivals[i] - arrivals[i - 1], 3'900u) << "request " << i + 1;
    EXPECT_EQ(asked.progress.front(), "Asking 127.0.0.1 (sample 1 of 8)");
    EXPECT_EQ(asked.progress.back(),
              "Asking 127.0.0.1 (sample " + std::to_string(samples) + " of 8)");
}

TEST(AskTimeServers, BadArguments) {
    Asked empty;
    ask(empty, " \r\n", 123, 1, 1, 1);
    EXPECT_EQ(empty.result, 0);
    EXPECT_EQ(empty.message(), "No time server was given to ask");
    ZYMDATE_TIME_OUTCOME unsized{};
    EXPECT_EQ(::ASKTIMESERVERS(nullptr, 123, 1, 1, 1, nullptr, nullptr, &unsized), 0);
    EXPECT_EQ(unsized.message, nullptr); // an unknown layout is not written
    EXPECT_EQ(::ASKTIMESERVERS(nullptr, 123, 1, 1, 1, nullptr, nullptr, nullptr), 0);
}

} // namespace
} // namespace zymdate
