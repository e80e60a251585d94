// The check-and-set cycle against a scripted clock: what each command, result
// and tick decides, and whole runs of the schedule and the retry second by second.
#include <gtest/gtest.h>

#include "cycle.h"
#include "server_list.h"
#include "tw/change_limit.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace tickwell {
namespace {

const std::string kCredit = "Tickwell - keeps your clock right";
const std::string kReply = "52289 02-01-15 06:21:59 00 0 0 716.2 UTC(NIST) * \r\n";
const std::string kReason = "Connection refused";

// Times are "T+<seconds>"; a text without that shape reads as time zero, as the
// library reads a date it cannot parse.
class ScriptedServices : public CycleServices {
  public:
    long long now = 0;
    long long nowMs = 0; // milliseconds past `now`, for the courtesy window
    bool network = true;
    int networkAsked = 0;
    std::string stampNote; // appended to time texts, to make them long

    static std::string at(long long seconds) { return "T+" + std::to_string(seconds); }
    static long long seconds(const std::string& text) {
        if (text.rfind("T+", 0) != 0)
            return 0;
        return std::strtoll(text.c_str() + 2, nullptr, 10);
    }

    bool networkAlive() override {
        ++networkAsked;
        return network;
    }
    std::string nowText() override { return at(now) + stampNote; }
    std::string nextCheckText(int32_t minutes) override {
        return at(now + 60LL * minutes) + stampNote;
    }
    long long secondsBetween(const std::string& earlier, const std::string& later) override {
        return seconds(later) - seconds(earlier);
    }
    std::string pcTimeText(int32_t displayLocalTime, const std::string& datePicture,
                           const std::string& timePicture) override {
        return "pc " + std::to_string(displayLocalTime) + " " + datePicture + " - " + timePicture +
               " " + at(now);
    }
    uint64_t monotonicMs() override { return static_cast<uint64_t>(now * 1000 + nowMs); }
    std::string timeTextIn(uint64_t milliseconds, const std::string& timePicture) override {
        return timePicture + " at " + std::to_string(monotonicMs() + milliseconds) + " ms";
    }
    std::string formatTime(const SYSTEMTIME& t) override {
        char text[32];
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                      t.wHour, t.wMinute, t.wSecond);
        return text;
    }
};

// Settings whose values differ from the defaults where a mix-up could hide.
Settings testSettings() {
    Settings s;
    s.timePort = 37;
    s.networkTimeout = 45;
    s.currentServer = "time.example";
    s.nextCheckText = ScriptedServices::at(1'000'000);
    s.displayLocalTime = 1;
    s.datePicture = "dd/MM/yyyy";
    s.timePicture = "HH':'mm':'ss";
    return s;
}

struct Rig {
    Settings settings = testSettings();
    ScriptedServices services;
    Cycle cycle{settings, services, kCredit};
};

QueryResult outcome(QueryKind kind, bool ok, int32_t clockMatches = 0) {
    QueryResult r;
    r.kind = kind;
    r.ok = ok;
    r.server = "time.example";
    r.message = ok ? kReply : kReason;
    if (ok) {
        r.serverUtc = SYSTEMTIME{2026, 3, 0, 1, 6, 21, 59, 500};
        r.serverLocal = SYSTEMTIME{2026, 3, 0, 1, 7, 21, 59, 500};
        r.differenceText = clockMatches ? "PC Clock Matches" : "PC Clock was 2 Seconds slow";
        r.clockMatches = clockMatches;
    }
    return r;
}

const char* name(QueryKind kind) {
    return kind == QueryKind::Check ? "Check" : "Set";
}

TEST(CycleCommand, FrontPartAndNetworkGate) {
    struct Row {
        const char* fault;
        int waitForConnection, showStatusBar, useSounds, networkTimeout;
        bool network;
        std::string server;
        bool starts;
        std::optional<std::string> status;
        Sound sound;
        int32_t timeout;
    };
    const std::string longServer(200, 'x');
    const Row rows[] = {
        {"plain start", 0, 1, 1, 45, true, "time.example", true, "Checking time at time.example",
         Sound::Start, 45},
        {"no network, not waiting: the query goes ahead (and fails)", 0, 1, 1, 45, false,
         "time.example", true, "Checking time at time.example", Sound::Start, 45},
        {"no network while waiting: no trace at all", 1, 1, 1, 45, false, "time.example", false,
         std::nullopt, Sound::None, 0},
        {"waiting, network up: starts", 1, 1, 1, 45, true, "time.example", true,
         "Checking time at time.example", Sound::Start, 45},
        {"status bar hidden: no status text", 0, 0, 1, 45, true, "time.example", true, std::nullopt,
         Sound::Start, 45},
        {"sounds off: silent", 0, 1, 0, 45, true, "time.example", true,
         "Checking time at time.example", Sound::None, 45},
        {"timeout 0 would wait for ever", 0, 1, 1, 0, true, "time.example", true,
         "Checking time at time.example", Sound::Start, kDefaultTimeoutSeconds},
        {"negative timeout", 0, 1, 1, -5, true, "time.example", true,
         "Checking time at time.example", Sound::Start, kDefaultTimeoutSeconds},
        {"long server name cut to the status text's 127", 0, 1, 1, 45, true, longServer, true,
         "Checking time at " + longServer.substr(0, 127 - 17), Sound::Start, 45},
    };
    for (const Row& row : rows) {
        for (QueryKind kind : {QueryKind::Check, QueryKind::Set}) {
            SCOPED_TRACE(std::string(row.fault) + ", " + name(kind));
            Rig rig;
            rig.settings.waitForConnection = row.waitForConnection;
            rig.settings.showStatusBar = row.showStatusBar;
            rig.settings.useSounds = row.useSounds;
            rig.settings.networkTimeout = row.networkTimeout;
            rig.settings.currentServer = row.server;
            rig.services.network = row.network;

            const CycleEffects e = rig.cycle.command(kind);
            EXPECT_EQ(rig.cycle.querying(), row.starts);
            EXPECT_EQ(e.waitCursor, row.starts ? std::optional<bool>(true) : std::nullopt);
            EXPECT_EQ(e.statusText, row.status);
            EXPECT_EQ(e.sound, row.sound);
            EXPECT_TRUE(e.logEntries.empty());
            EXPECT_FALSE(e.serverTimeText || e.pcTimeText || e.differenceText);
            ASSERT_EQ(e.startQuery.has_value(), row.starts);
            if (row.starts) {
                EXPECT_EQ(e.startQuery->kind, kind);
                EXPECT_EQ(e.startQuery->server, row.server);
                EXPECT_EQ(e.startQuery->port, 37);
                EXPECT_EQ(e.startQuery->timeoutSeconds, row.timeout);
            }
        }
    }
}

TEST(CycleCommand, IgnoredWhileQueryingAndStrayResultsIgnored) {
    Rig rig;
    rig.settings.waitForConnection = 1;
    ASSERT_TRUE(rig.cycle.command(QueryKind::Check).startQuery);
    for (QueryKind kind : {QueryKind::Check, QueryKind::Set}) {
        const CycleEffects e = rig.cycle.command(kind);
        EXPECT_FALSE(e.startQuery || e.statusText || e.waitCursor) << name(kind);
        EXPECT_EQ(e.sound, Sound::None) << name(kind);
    }
    EXPECT_EQ(rig.services.networkAsked, 1);
    rig.cycle.queryFinished(outcome(QueryKind::Check, true));
    rig.services.nowMs += kCourtesyMs; // the server may be asked again
    EXPECT_TRUE(rig.cycle.command(QueryKind::Set).startQuery);

    // A result with no query running must neither free the slot nor show anything.
    rig.cycle.queryFinished(outcome(QueryKind::Set, true));
    QueryResult stray = outcome(QueryKind::Set, false);
    stray.server = "elsewhere";
    const CycleEffects e = rig.cycle.queryFinished(stray);
    EXPECT_FALSE(e.serverTimeText || e.statusText || e.waitCursor);
    EXPECT_EQ(rig.settings.currentServer, "time.example");
    EXPECT_FALSE(rig.cycle.retryPending());
}

TEST(CycleResult, FailureShowsReasonAndSchedulesRetryOnlyForAutomaticSet) {
    struct Row {
        const char* fault;
        QueryKind kind;
        int autoSetTime, connectionRetry, showStatusBar, logEvents;
        bool retry;
        std::optional<std::string> status;
    };
    const std::string retryStatus = "Failed, Next attempt at: T+1300";
    const Row rows[] = {
        {"Set, auto-set and retry on", QueryKind::Set, 1, 1, 1, 1, true, retryStatus},
        {"retry off", QueryKind::Set, 1, 0, 1, 1, false, kReason},
        {"auto-set off", QueryKind::Set, 0, 1, 1, 1, false, kReason},
        {"Check never retries", QueryKind::Check, 1, 1, 1, 1, false, kReason},
        {"status bar hidden", QueryKind::Set, 1, 1, 0, 1, true, std::nullopt},
        {"log off", QueryKind::Set, 1, 1, 1, 0, true, retryStatus},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault);
        Rig rig;
        rig.settings.autoSetTime = row.autoSetTime;
        rig.settings.connectionRetry = row.connectionRetry;
        rig.settings.showStatusBar = row.showStatusBar;
        rig.settings.logEvents = row.logEvents;
        rig.settings.currentServer = "time.example (backup)";
        rig.services.now = 1000;
        rig.cycle.command(row.kind);

        const CycleEffects e = rig.cycle.queryFinished(outcome(row.kind, false));
        EXPECT_FALSE(rig.cycle.querying());
        EXPECT_EQ(rig.cycle.lastMessage(), kReason);
        EXPECT_EQ(rig.settings.currentServer, "time.example");
        EXPECT_EQ(e.serverTimeText, kReason);
        EXPECT_EQ(e.logEntries,
                  row.logEvents ? std::vector<std::string>{kReason} : std::vector<std::string>{});
        EXPECT_EQ(e.statusText, row.status);
        EXPECT_EQ(e.waitCursor, false);
        // PC time, difference and its colour stay as they were.
        EXPECT_FALSE(e.pcTimeText || e.differenceText);
        EXPECT_EQ(e.sound, Sound::None);
        EXPECT_EQ(rig.cycle.retryPending(), row.retry);
        EXPECT_EQ(rig.cycle.retryAtText(), row.retry ? "T+1300" : "");
        EXPECT_EQ(rig.settings.nextCheckText, "T+1000000");
    }
}

TEST(CycleResult, SuccessShowsServerTimeByDisplayStyle) {
    struct Row {
        const char* fault;
        int displayNistTime, showStatusBar, useSounds, logEvents;
        std::optional<std::string> serverTime;
    };
    const Row rows[] = {
        {"0: local server time", 0, 1, 1, 1, "2026-03-01 07:21:59"},
        {"1: UTC server time", 1, 1, 1, 1, "2026-03-01 06:21:59"},
        {"2: the reply as received", 2, 1, 1, 1, kReply},
        {"3: unknown style leaves the value", 3, 1, 1, 1, std::nullopt},
        {"status bar hidden", 1, 0, 1, 1, "2026-03-01 06:21:59"},
        {"sounds off", 1, 1, 0, 1, "2026-03-01 06:21:59"},
        {"log off", 1, 1, 1, 0, "2026-03-01 06:21:59"},
    };
    for (const Row& row : rows) {
        for (QueryKind kind : {QueryKind::Check, QueryKind::Set}) {
            SCOPED_TRACE(std::string(row.fault) + ", " + name(kind));
            Rig rig;
            rig.settings.displayNistTime = row.displayNistTime;
            rig.settings.showStatusBar = row.showStatusBar;
            rig.settings.useSounds = row.useSounds;
            rig.settings.logEvents = row.logEvents;
            rig.services.now = 1000;
            rig.cycle.command(kind);

            const CycleEffects e = rig.cycle.queryFinished(outcome(kind, true));
            EXPECT_FALSE(rig.cycle.querying());
            EXPECT_EQ(e.serverTimeText, row.serverTime);
            EXPECT_EQ(e.pcTimeText, "pc 1 dd/MM/yyyy - HH':'mm':'ss T+1000");
            EXPECT_EQ(e.differenceText, "PC Clock was 2 Seconds slow");
            EXPECT_EQ(e.sound, row.useSounds ? Sound::Success : Sound::None);
            EXPECT_EQ(e.statusText, row.showStatusBar ? std::optional(kCredit) : std::nullopt);
            // The reply is logged, not the difference.
            EXPECT_EQ(e.logEntries, row.logEvents ? std::vector<std::string>{kReply}
                                                  : std::vector<std::string>{});
            EXPECT_TRUE(e.redrawValues);
            EXPECT_EQ(e.waitCursor, false);
            EXPECT_EQ(rig.cycle.lastMessage(), kReply);
        }
    }
}

TEST(CycleResult, OnlySetSuccessClearsRetryAndCheckLeavesSchedule) {
    Rig rig;
    rig.settings.autoSetTime = 1;
    const auto finish = [&](QueryKind kind, bool ok) {
        rig.services.now += 60;
        ASSERT_TRUE(rig.cycle.command(kind).startQuery);
        rig.cycle.queryFinished(outcome(kind, ok));
    };
    finish(QueryKind::Set, false);
    ASSERT_TRUE(rig.cycle.retryPending());
    EXPECT_EQ(rig.cycle.retryAtText(), "T+360");
    finish(QueryKind::Check, true);
    finish(QueryKind::Check, false);
    EXPECT_TRUE(rig.cycle.retryPending());
    EXPECT_EQ(rig.cycle.retryAtText(), "T+360");
    EXPECT_EQ(rig.settings.nextCheckText, "T+1000000");
    finish(QueryKind::Set, true);
    EXPECT_FALSE(rig.cycle.retryPending());
}

// The history's record of each query: what made it, how it ended, the numbers
// the worker measured, and none while "Log events" is off.
TEST(CycleResult, EachQueryLeavesAHistoryRecordOfItsOrigin) {
    Rig rig;
    rig.settings.logEvents = true;
    rig.settings.autoSetTime = 1;
    rig.settings.connectionRetry = 1;
    rig.settings.timePort = 123;
    using history::Kind;
    using history::Result;
    const auto finish = [&](const CycleEffects& started, QueryResult result) {
        EXPECT_TRUE(started.startQuery);
        return rig.cycle.queryFinished(result).historyRecord;
    };
    QueryResult measured = outcome(QueryKind::Check, true);
    measured.offsetMs = -2000;
    measured.delay = 12.6;
    measured.errorBoundMs = 9;
    auto record = finish(rig.cycle.command(QueryKind::Check), measured);
    ASSERT_TRUE(record);
    EXPECT_EQ(*record, (history::Record{0, Kind::Check, "time.example", "NTP", Result::Ok, -2000,
                                        13, 9, false}));

    rig.services.now += 60;
    QueryResult set = outcome(QueryKind::Set, true);
    set.clockSet = true;
    record = finish(rig.cycle.command(QueryKind::Set), set);
    EXPECT_EQ(record->kind, Kind::Set);
    EXPECT_TRUE(record->clockSet);

    // The schedule's Set fails: the retry follows, each named as such.
    rig.services.now = 1'000'000;
    record = finish(rig.cycle.tick(), outcome(QueryKind::Set, false));
    EXPECT_EQ(record->kind, Kind::AutoSet);
    EXPECT_EQ(record->result, Result::Failed);
    EXPECT_FALSE(record->differenceMs);
    rig.services.now += 60 * kRetryMinutes;
    QueryResult refused = outcome(QueryKind::Set, true);
    refused.notSetText = "Not set: too far";
    record = finish(rig.cycle.tick(), refused);
    EXPECT_EQ(record->kind, Kind::Retry);
    EXPECT_EQ(record->result, Result::Refused);

    rig.settings.logEvents = false;
    rig.services.now += 60;
    EXPECT_FALSE(finish(rig.cycle.command(QueryKind::Check), measured));
}

// A time from an nts:// server (in any case, on any port: the library asks it
// with NTS and never falls back) says in the status bar that it was
// authenticated, and the history names it NTS; the source of several decides,
// not the current server. Other protocols follow the port.
TEST(CycleResult, AnNtsTimeIsSaidAuthenticatedAndRecordedAsNts) {
    const struct {
        const char* server; // as the query left the current server
        const char* source; // of several servers; "" for one
        int32_t port;
        bool ok;
        const char* status; // "" for the credit line
        const char* protocol;
    } cases[] = {
        {"nts://time.example", "", 123, true, "Time from nts://time.example, authenticated (NTS)",
         "NTS"},
        {"NTS://Time.example:4460", "", 13, true,
         "Time from NTS://Time.example:4460, authenticated (NTS)", "NTS"},
        {"nts://time.example", "", 123, false, "Connection refused", "NTS"},
        {"time.example", "nts://b.example", 123, true,
         "Time from nts://b.example, authenticated (NTS)", "NTS"},
        {"nts://time.example", "b.example", 123, true, "Time from b.example", "NTP"},
        {"time.example", "", 123, true, "", "NTP"},
        {"ntp.example", "", 37, true, "", "Time"},
        {"ntsc.example", "", 13, true, "", "Daytime"},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.settings.logEvents = true;
        rig.settings.timePort = c.port;
        rig.settings.currentServer = c.server;
        ASSERT_TRUE(rig.cycle.command(QueryKind::Check).startQuery);
        QueryResult r = outcome(QueryKind::Check, c.ok);
        r.server = c.server;
        r.source = c.source;
        const CycleEffects e = rig.cycle.queryFinished(r);
        EXPECT_EQ(e.statusText, *c.status ? c.status : kCredit) << c.server << " " << c.source;
        ASSERT_TRUE(e.historyRecord);
        EXPECT_EQ(e.historyRecord->protocol, c.protocol) << c.server << " " << c.source;
    }
}

TEST(CycleResult, ClockMatchesFollowsEachWordedDifference) {
    struct Step {
        QueryKind kind;
        bool ok;
        int32_t matches; // the worker's flag for this result
        int32_t expected;
    };
    const Step steps[] = {
        {QueryKind::Check, true, 1, 1},
        {QueryKind::Check, true, 0, 0}, // a later mismatch shows as one
        {QueryKind::Set, true, 1, 1},
        {QueryKind::Check, false, 0, 1}, // a failure leaves the difference and its colour
        {QueryKind::Set, true, 0, 0},
    };
    Rig rig;
    int n = 0;
    for (const Step& step : steps) {
        rig.services.nowMs += kCourtesyMs;
        rig.cycle.command(step.kind);
        rig.cycle.queryFinished(outcome(step.kind, step.ok, step.matches));
        EXPECT_EQ(rig.cycle.clockMatches(), step.expected) << "step " << n++;
    }
}

TEST(CycleResult, ServerNoteShownOnFirstQueryOnly) {
    Rig rig;
    rig.settings.currentServer = "time.example (backup)";
    CycleEffects e = rig.cycle.command(QueryKind::Check);
    EXPECT_EQ(e.statusText, "Checking time at time.example (backup)");
    EXPECT_EQ(e.startQuery->server, "time.example (backup)");
    rig.cycle.queryFinished(outcome(QueryKind::Check, false)); // cleaned on failure too

    rig.services.nowMs += kCourtesyMs;
    e = rig.cycle.command(QueryKind::Check);
    EXPECT_EQ(e.statusText, "Checking time at time.example");
    EXPECT_EQ(e.startQuery->server, "time.example");
}

TEST(CycleResult, StatusTextsCutAt127ButFailureReasonShownWhole) {
    const std::string longCredit(300, 'c');
    Settings settings = testSettings();
    settings.autoSetTime = 1;
    ScriptedServices services;
    Cycle cycle(settings, services, longCredit);

    cycle.command(QueryKind::Check);
    EXPECT_EQ(cycle.queryFinished(outcome(QueryKind::Check, true)).statusText,
              longCredit.substr(0, 127));

    QueryResult longFailure = outcome(QueryKind::Check, false);
    longFailure.message = std::string(300, 'r');
    services.nowMs += kCourtesyMs;
    cycle.command(QueryKind::Check);
    EXPECT_EQ(cycle.queryFinished(longFailure).statusText, longFailure.message);

    services.stampNote = std::string(300, 'n');
    services.nowMs += kCourtesyMs;
    cycle.command(QueryKind::Set);
    const CycleEffects e = cycle.queryFinished(outcome(QueryKind::Set, false));
    const std::string retryAt = "T+300" + services.stampNote;
    EXPECT_EQ(cycle.retryAtText(), retryAt); // compared whole later
    EXPECT_EQ(e.statusText, ("Failed, Next attempt at: " + retryAt).substr(0, 127));
}

TEST(CycleCourtesy, ACommandInsideTheWindowWaitsAndSaysUntilWhen) {
    struct Row {
        const char* fault;
        bool kissFirst;     // the first query was answered by a RATE kiss
        std::string server; // the current server at the second command
        long long afterMs;  // from the first command's start
        int showStatusBar;
        bool starts;
        std::optional<std::string> status;
    };
    const std::string waiting = "Waiting until HH':'mm':'ss at ";
    const Row rows[] = {
        {"just inside four seconds", false, "time.example", 3999, 1, false,
         waiting + "104000 ms to ask time.example again"},
        {"four seconds on", false, "time.example", 4000, 1, true, "Checking time at time.example"},
        {"the same server with a note and in capitals", false, "  TIME.example (backup)", 1000, 1,
         false, waiting + "104000 ms to ask TIME.example again"},
        {"another server is not held back", false, "other.example", 0, 1, true,
         "Checking time at other.example"},
        {"status bar hidden: waits without a word", false, "time.example", 1000, 0, false,
         std::nullopt},
        {"after a RATE kiss, twice as long", true, "time.example", 7999, 1, false,
         waiting + "108000 ms to ask time.example again"},
        {"after a RATE kiss, eight seconds on", true, "time.example", 8000, 1, true,
         "Checking time at time.example"},
    };
    for (const Row& row : rows) {
        for (QueryKind kind : {QueryKind::Check, QueryKind::Set}) {
            SCOPED_TRACE(std::string(row.fault) + ", " + name(kind));
            Rig rig;
            rig.services.now = 100;
            ASSERT_TRUE(rig.cycle.command(QueryKind::Check).startQuery);
            QueryResult first = outcome(QueryKind::Check, !row.kissFirst);
            first.askedLessOften = row.kissFirst;
            rig.cycle.queryFinished(first);

            rig.settings.currentServer = row.server;
            rig.settings.showStatusBar = row.showStatusBar;
            rig.services.nowMs = row.afterMs;
            const CycleEffects e = rig.cycle.command(kind);
            EXPECT_EQ(e.startQuery.has_value(), row.starts);
            EXPECT_EQ(e.statusText, row.status);
            EXPECT_EQ(rig.cycle.waiting(), row.starts ? std::nullopt : std::optional(kind));
            // Waiting is quiet: no cursor, no sound, nothing logged.
            if (!row.starts) {
                EXPECT_FALSE(e.waitCursor || e.sound != Sound::None || !e.logEntries.empty());
            }
        }
    }
}

TEST(CycleTick, AlwaysRefreshesPcTimeAndCarriesTheSetItIssues) {
    for (int autoSetTime : {0, 1}) {
        for (bool querying : {false, true}) {
            SCOPED_TRACE("auto-set " + std::to_string(autoSetTime) +
                         (querying ? ", querying" : ""));
            Rig rig;
            rig.settings.autoSetTime = autoSetTime;
            rig.settings.nextCheckText = "T+5";
            rig.services.now = 10;
            if (querying)
                rig.cycle.command(QueryKind::Check);
            const CycleEffects e = rig.cycle.tick();
            EXPECT_EQ(e.pcTimeText, "pc 1 dd/MM/yyyy - HH':'mm':'ss T+10");
            EXPECT_TRUE(e.redrawValues);
            const bool fires = autoSetTime && !querying;
            ASSERT_EQ(e.startQuery.has_value(), fires);
            EXPECT_EQ(rig.settings.nextCheckText, fires ? "T+43210" : "T+5");
            if (fires) {
                EXPECT_EQ(e.startQuery->kind, QueryKind::Set);
                EXPECT_EQ(e.statusText, "Checking time at time.example");
                EXPECT_EQ(e.sound, Sound::Start);
                EXPECT_EQ(e.waitCursor, true);
            }
        }
    }
}

TEST(CycleTick, PendingRetryWaitsWhileRetryOrAutoSetIsTurnedOff) {
    Rig rig;
    rig.settings.autoSetTime = 1;
    rig.cycle.command(QueryKind::Set);
    rig.cycle.queryFinished(outcome(QueryKind::Set, false));
    rig.services.now = 300;
    rig.settings.connectionRetry = 0;
    EXPECT_FALSE(rig.cycle.tick().startQuery);
    rig.settings.connectionRetry = 1;
    rig.settings.autoSetTime = 0;
    EXPECT_FALSE(rig.cycle.tick().startQuery);
    rig.settings.autoSetTime = 1;
    EXPECT_TRUE(rig.cycle.tick().startQuery); // still pending, fires once allowed again
}

// A run second by second: at each second a finished query is reported, a
// command by hand may come, then the tick. Queries report what they started
// as "S@t" (Set) or "C@t" (Check).
struct Scenario {
    const char* name;
    std::string nextCheck = "T+0";
    int interval = 30;
    int autoSetTime = 1;
    int connectionRetry = 1;
    int waitForConnection = 0;
    long long downFrom = -1, downUntil = -1;     // no network in [downFrom, downUntil)
    std::vector<long long> checksAt{}, setsAt{}; // commands by hand
    long long queryDuration = 0;                 // seconds until the result arrives
    std::vector<bool> outcomes = {true};         // per query started; the last repeats
    std::vector<size_t> rateKisses{};            // queries (from 0) answered by a RATE kiss
    long long runUntil = 2000;
    std::vector<std::string> started;
};

std::vector<std::string> run(const Scenario& s) {
    Rig rig;
    rig.settings.nextCheckText = s.nextCheck;
    rig.settings.interval = s.interval;
    rig.settings.autoSetTime = s.autoSetTime;
    rig.settings.connectionRetry = s.connectionRetry;
    rig.settings.waitForConnection = s.waitForConnection;

    std::vector<std::string> started;
    std::optional<QueryResult> running;
    long long endsAt = 0;
    size_t queries = 0;
    const auto down = [&](long long t) { return t >= s.downFrom && t < s.downUntil; };
    const auto startIfAsked = [&](const CycleEffects& e, long long t) {
        if (!e.startQuery)
            return;
        ASSERT_FALSE(running) << "second query at " << t;
        const QueryKind kind = e.startQuery->kind;
        const size_t index = queries++;
        const bool kiss = std::count(s.rateKisses.begin(), s.rateKisses.end(), index) != 0;
        const bool ok = !kiss && !down(t) && s.outcomes[std::min(index, s.outcomes.size() - 1)];
        running = outcome(kind, ok);
        running->askedLessOften = kiss;
        endsAt = t + s.queryDuration;
        started.push_back((kind == QueryKind::Set ? "S@" : "C@") + std::to_string(t));
    };
    const auto finishIfDue = [&](long long t) {
        if (running && endsAt <= t) {
            rig.cycle.queryFinished(*running);
            running.reset();
        }
    };
    for (long long t = 1; t <= s.runUntil; ++t) {
        rig.services.now = t;
        rig.services.network = !down(t);
        finishIfDue(t);
        if (std::count(s.checksAt.begin(), s.checksAt.end(), t))
            startIfAsked(rig.cycle.command(QueryKind::Check), t);
        if (std::count(s.setsAt.begin(), s.setsAt.end(), t))
            startIfAsked(rig.cycle.command(QueryKind::Set), t);
        startIfAsked(rig.cycle.tick(), t);
        finishIfDue(t);
    }
    return started;
}

TEST(CycleSchedule, RunsSecondBySecond) {
    using V = std::vector<std::string>;
    const Scenario scenarios[] = {
        {.name = "a time long past fires once, then every interval",
         .nextCheck = "T+-86400",
         .runUntil = 3700,
         .started = V{"S@1", "S@1801", "S@3601"}},
        {.name = "an interval of 0 or less keeps the default half day, not every tick",
         .interval = 0,
         .runUntil = 43300,
         .started = V{"S@1", "S@43201"}},
        {.name = "an unreadable next check reads as time zero: due",
         .nextCheck = "not a date",
         .started = V{"S@1", "S@1801"}},
        {.name = "not yet due: waits for it", .nextCheck = "T+600", .started = V{"S@600"}},
        {.name = "failed Set retried five minutes on; the schedule keeps its rhythm",
         .outcomes = {false, true},
         .started = V{"S@1", "S@301", "S@1801"}},
        {.name = "a failing retry is retried again",
         .outcomes = {false},
         .runUntil = 700,
         .started = V{"S@1", "S@301", "S@601"}},
        {.name = "retry off: only the schedule",
         .connectionRetry = 0,
         .outcomes = {false},
         .started = V{"S@1", "S@1801"}},
        {.name = "auto-set off: neither schedule nor retry",
         .autoSetTime = 0,
         .setsAt = {5},
         .outcomes = {false},
         .started = V{"S@5"}},
        {.name = "a failed Check neither retries nor moves the schedule",
         .nextCheck = "T+600",
         .checksAt = {5},
         .outcomes = {false, true},
         .runUntil = 1000,
         .started = V{"C@5", "S@600"}},
        {.name = "a schedule due during a query fires at the first tick after it",
         .nextCheck = "T+5",
         .checksAt = {3},
         .queryDuration = 10,
         .runUntil = 100,
         .started = V{"C@3", "S@13"}},
        {.name = "a retry due during a query fires at the first tick after it",
         .nextCheck = "T+100000",
         .checksAt = {310},
         .setsAt = {1},
         .queryDuration = 20, // the failed Set ends at 21: retry due at 321
         .outcomes = {false, true},
         .runUntil = 1000,
         .started = V{"S@1", "C@310", "S@330"}},
        {.name = "a scheduled Set dropped by the gate is not caught up",
         .waitForConnection = 1,
         .downFrom = 0,
         .downUntil = 100,
         .started = V{"S@1801"}},
        {.name = "a retry dropped by the gate stays due until the network is back",
         .waitForConnection = 1,
         .downFrom = 200,
         .downUntil = 400,
         .outcomes = {false, true},
         .runUntil = 1000,
         .started = V{"S@1", "S@400"}},
        {.name = "not waiting for a connection: the retry goes out and fails again",
         .downFrom = 200,
         .downUntil = 400,
         .outcomes = {false, true},
         .runUntil = 1000,
         .started = V{"S@1", "S@301", "S@601"}},
        // Courtesy: one server is never asked twice within four seconds.
        {.name = "a Check 2 s after a Check runs at the first tick once allowed",
         .nextCheck = "T+100000",
         .checksAt = {10, 12},
         .runUntil = 100,
         .started = V{"C@10", "C@14"}},
        {.name = "auto-set off: the waiting Check still runs",
         .autoSetTime = 0,
         .checksAt = {10, 12},
         .runUntil = 100,
         .started = V{"C@10", "C@14"}},
        {.name = "a Set asked while a Check waits makes it a Set; one query, not two",
         .nextCheck = "T+100000",
         .checksAt = {10, 11},
         .setsAt = {12},
         .runUntil = 100,
         .started = V{"C@10", "S@14"}},
        {.name = "a schedule due a second after a Check waits its turn and keeps its rhythm",
         .nextCheck = "T+11",
         .checksAt = {10},
         .runUntil = 1900,
         .started = V{"C@10", "S@14", "S@1811"}},
        {.name = "a RATE kiss doubles the wait for the rest of the run",
         .nextCheck = "T+100000",
         .checksAt = {10, 12, 30, 33},
         .rateKisses = {0},
         .runUntil = 100,
         .started = V{"C@10", "C@18", "C@30", "C@38"}},
        {.name = "each RATE kiss doubles it again",
         .nextCheck = "T+100000",
         .checksAt = {10, 11, 20},
         .rateKisses = {0, 1},
         .runUntil = 100,
         .started = V{"C@10", "C@18", "C@34"}},
    };
    for (const Scenario& s : scenarios)
        EXPECT_EQ(run(s), s.started) << s.name;
}

// The user may pick or add another server in Options while a slow query runs:
// the query's cleaned name must not overwrite that choice when it ends.
TEST(CycleResult, CleanedNameIsStoredOnlyWhileTheAskedServerIsStillCurrent) {
    const struct {
        const char* fault;
        const char* chosenMeanwhile; // nullptr: nothing chosen
        const char* currentAfter;
    } rows[] = {
        {"the asked server, cleaned", nullptr, "time.example"},
        {"a server chosen meanwhile stays current", "other.example (Elsewhere)",
         "other.example (Elsewhere)"},
    };
    for (const auto& row : rows) {
        Rig rig;
        rig.settings.currentServer = "time.example (Somewhere)";
        ASSERT_TRUE(rig.cycle.command(QueryKind::Check).startQuery) << row.fault;
        if (row.chosenMeanwhile)
            rig.settings.currentServer = row.chosenMeanwhile;
        rig.cycle.queryFinished(outcome(QueryKind::Check, true));
        EXPECT_EQ(rig.settings.currentServer, row.currentAfter) << row.fault;
    }
}

} // namespace
} // namespace tickwell

namespace tickwell {
namespace {

// Several servers: the current one first, then the list after it, round to
// its start; the progress in the status bar; where the time came from and who
// was outvoted; every server asked kept to the courtesy interval.
TEST(CycleSeveralServers, AskingOrderProgressStatusAndCourtesy) {
    Rig rig;
    rig.settings.serverCount = 4;
    rig.settings.serverList[1] = "a.example";
    rig.settings.serverList[2] = "b.example (note)";
    rig.settings.serverList[3] = "c.example";
    rig.settings.serverList[4] = "d.example";
    rig.settings.currentServer = "c.example";
    rig.settings.timePort = 123;

    rig.settings.serversToAsk = 1;
    rig.settings.samplesPerServer = 1;
    EXPECT_EQ(serversInAskingOrder(rig.settings), std::vector<std::string>{"c.example"});
    rig.settings.serversToAsk = 3;
    EXPECT_EQ(
        serversInAskingOrder(rig.settings),
        (std::vector<std::string>{"c.example", "d.example", "a.example", "b.example (note)"}));
    rig.settings.currentServer = "elsewhere.example";
    EXPECT_EQ(serversInAskingOrder(rig.settings).size(), 5u);
    rig.settings.currentServer = "c.example";

    rig.services.now = 1000;
    const CycleEffects started = rig.cycle.command(QueryKind::Check);
    ASSERT_TRUE(started.startQuery);
    EXPECT_TRUE(started.startQuery->severalSamplesOrServers());
    EXPECT_EQ(started.startQuery->serversToAsk, 3);
    EXPECT_EQ(started.startQuery->servers.front(), "c.example");
    EXPECT_EQ(rig.cycle.queryProgress("Asking 3 servers").statusText, "Asking 3 servers");

    QueryResult r = outcome(QueryKind::Check, true);
    r.askedServers = {"c.example", "d.example", "a.example", "b.example"};
    r.source = "d.example";
    r.rejections = {"c.example disagreed with 2 other servers and was not used"};
    r.lessOften = {"b.example"};
    EXPECT_EQ(rig.cycle.queryFinished(r).statusText,
              "Time from d.example; c.example disagreed with 2 other servers and was not used");
    EXPECT_FALSE(rig.cycle.queryProgress("late").statusText); // after the end: nothing

    // Within 4 s of the last query none of the first three may be asked again.
    rig.services.now = 1002;
    EXPECT_FALSE(rig.cycle.command(QueryKind::Check).startQuery);

    // A Set the Tickwell Time service made says so.
    rig.services.now = 2000;
    for (const bool set : {true, false}) {
        rig.services.now += 10;
        rig.cycle.command(QueryKind::Set);
        QueryResult bySet = outcome(QueryKind::Set, true);
        bySet.viaService = true;
        bySet.serviceSetClock = set;
        EXPECT_EQ(rig.cycle.queryFinished(bySet).statusText,
                  set ? "Time from time.example (set by the Tickwell Time service)"
                      : "Time from time.example (the Tickwell Time service could not set the "
                        "clock)");
    }

    // Samples alone count only over NTP.
    QueryRequest daytime;
    daytime.port = 13;
    daytime.samplesPerServer = 4;
    EXPECT_FALSE(daytime.severalSamplesOrServers());
    daytime.port = 123;
    EXPECT_TRUE(daytime.severalSamplesOrServers());
}

// The limit on automatic changes: the verdict at, above and below it, with no
// limit, by hand and automatic; and the words for the sizes.
TEST(ChangeLimit, VerdictsAndWords) {
    using tw::ChangeVerdict;
    const struct {
        int64_t changeMs;
        int32_t limit;
        bool automatic;
        ChangeVerdict verdict;
    } verdicts[] = {
        {54'000'000, 54'000, true, ChangeVerdict::Set},     // at the limit
        {-54'000'000, 54'000, true, ChangeVerdict::Set},    // at it, clock ahead
        {54'000'001, 54'000, true, ChangeVerdict::Refuse},  // a millisecond above
        {-54'000'001, 54'000, true, ChangeVerdict::Refuse}, // above, clock ahead
        {54'000'001, 54'000, false, ChangeVerdict::Ask},    // by hand: asked first
        {53'999'999, 54'000, false, ChangeVerdict::Set},    // below
        {INT64_MAX, 0, true, ChangeVerdict::Set},           // 0: no limit
        {INT64_MIN, -5, true, ChangeVerdict::Set},          // a bad limit is none
        {INT64_MIN, 1, true, ChangeVerdict::Refuse},        {1'001, 1, true, ChangeVerdict::Refuse},
    };
    for (const auto& v : verdicts)
        EXPECT_EQ(tw::judgeChange(v.changeMs, v.limit, v.automatic), v.verdict)
            << v.changeMs << " ms, limit " << v.limit << " s";

    const struct {
        uint64_t seconds;
        const char* words;
    } words[] = {{0, "0 Seconds"},
                 {1, "1 Second"},
                 {54'000, "15 Hours"},
                 {172'800, "2 Days"},
                 {86'400 + 3'600 + 60 + 1, "1 Day 1 Hour 1 Minute 1 Second"},
                 {172'800 + 180, "2 Days 3 Minutes"}};
    for (const auto& w : words)
        EXPECT_EQ(tw::durationWords(w.seconds), w.words);
    // To the nearest second, but beyond the limit never reads as the limit.
    EXPECT_EQ(tw::changeWords(89'499), "1 Minute 29 Seconds");
    EXPECT_EQ(tw::changeWords(-89'500), "1 Minute 30 Seconds");
    EXPECT_EQ(tw::changeWords(54'000'001), "15 Hours");
    EXPECT_EQ(tw::changeWords(54'000'001, 54'000), "15 Hours 1 Second");
    EXPECT_EQ(tw::changeWords(-172'800'000, 54'000), "2 Days");

    EXPECT_EQ(refusedChangeText(-172'800'000, 54'000),
              "Not set: the server's time is 2 Days away, more than the 15 Hours allowed for "
              "automatic changes. Press Set to set it.");
}

// The schedule's and the retry's Sets are automatic, a person's are not (also
// once they waited for a server's courtesy); a Set refused by the limit shows
// the change, says why in the status bar and the log, and is not retried.
TEST(CycleLimit, AutomaticSetsAndARefusedChange) {
    Rig rig;
    rig.settings.autoSetTime = 1;
    rig.settings.connectionRetry = 1;
    rig.settings.maximumAutomaticChange = 600;
    rig.settings.nextCheckText = ScriptedServices::at(100);
    rig.services.now = 100;
    CycleEffects e = rig.cycle.tick();
    ASSERT_TRUE(e.startQuery);
    EXPECT_TRUE(e.startQuery->automatic);
    EXPECT_EQ(e.startQuery->maximumChangeSeconds, 600);

    QueryResult refused = outcome(QueryKind::Set, true);
    refused.differenceText = "2 Days";
    refused.notSetText = refusedChangeText(172'800'000, 600);
    e = rig.cycle.queryFinished(refused);
    EXPECT_EQ(e.differenceText, "2 Days");
    EXPECT_EQ(e.statusText, refused.notSetText);
    EXPECT_EQ(e.logEntries, (std::vector<std::string>{kReply, refused.notSetText}));
    EXPECT_EQ(e.sound, Sound::None);
    EXPECT_FALSE(rig.cycle.retryPending());
    EXPECT_EQ(rig.settings.nextCheckText, "T+43300"); // the schedule goes on

    // By hand, and a scheduled Set that waits for the courtesy interval stays
    // automatic unless a person asks meanwhile.
    for (const bool personAsks : {false, true}) {
        SCOPED_TRACE(personAsks ? "a person asks while it waits" : "nobody asks");
        Rig r;
        r.settings.autoSetTime = 1;
        r.settings.nextCheckText = ScriptedServices::at(100);
        r.services.now = 99;
        CycleEffects byHand = r.cycle.command(QueryKind::Check);
        ASSERT_TRUE(byHand.startQuery);
        EXPECT_FALSE(byHand.startQuery->automatic);
        r.cycle.queryFinished(outcome(QueryKind::Check, true));
        r.services.now = 100;
        EXPECT_FALSE(r.cycle.tick().startQuery); // within 4 s: it waits
        if (personAsks)
            r.cycle.command(QueryKind::Set);
        r.services.now = 103;
        const CycleEffects later = r.cycle.tick();
        ASSERT_TRUE(later.startQuery);
        EXPECT_EQ(later.startQuery->automatic, !personAsks);
    }
}

} // namespace
} // namespace tickwell
