// The check-and-set cycle and its scheduler, as plain logic: events come in (a
// Check or Set command, a clock tick, a finished query), decisions go out (start
// a query, the texts to show, a sound, log entries, the status text, the wait
// cursor). It makes no window call and runs no query itself, so every rule of
// the schedule and the retry can be tried without windows, sockets or a clock.
//
// The query runs elsewhere (a worker thread); the cycle only asks for it and is
// told its result. One query at a time: a command that arrives while one runs is
// ignored, and a schedule or retry that comes due meanwhile stays due until the
// first tick after it ends.
//
// Courtesy to public servers: no server is asked twice within kCourtesyMs (the
// public time services block faster clients). A Check or Set inside that window
// waits, the status bar saying until when, and runs at the first tick once
// allowed. A server that answers with the kiss-o'-death RATE gets twice the
// wait for the rest of the run.
#pragma once

#include "history.h"
#include "settings.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tickwell {

enum class QueryKind { Check, Set };

// What the worker needs, copied when the query starts: the worker shares nothing.
struct QueryRequest {
    QueryKind kind = QueryKind::Check;
    std::string server;         // the current server as it stands; the query cleans it
    int32_t port = 13;          // "Time Port"
    int32_t timeoutSeconds = 0; // "Network Timeout", always above 0
    // Several servers that must agree, or a burst of NTP samples: the servers in
    // the order asked (the current one first) and the two counts. With both
    // counts at 1 the one current server is asked once, as always.
    std::vector<std::string> servers;
    int32_t serversToAsk = 1;
    int32_t samplesPerServer = 1;
    // A Set the schedule or the retry issued, and "Maximum automatic change"
    // (0: no limit): an automatic Set beyond the limit is not made, one asked
    // for by a person beyond it asks first.
    bool automatic = false;
    int32_t maximumChangeSeconds = 0;
    bool severalSamplesOrServers() const {
        return serversToAsk > 1 || (samplesPerServer > 1 && port == kNtpPort);
    }
    static constexpr int32_t kNtpPort = 123;
};

// What the worker found. The readings the difference compares are taken on the
// worker as soon as the reply is judged (and, for Set, right after the clock set).
struct QueryResult {
    QueryKind kind = QueryKind::Check;
    bool ok = false;          // a server time was obtained
    std::string server;       // the server name as the query left it (cleaned)
    std::string message;      // the reply on success, the reason on failure
    double delay = 0;         // milliseconds
    SYSTEMTIME serverUtc{};   // delay-corrected (success only)
    SYSTEMTIME serverLocal{}; // serverUtc in local time (success only)
    SYSTEMTIME pcLocal{};     // the PC's local time when the reply was judged
    // Set: the worded change of the clock set (or its failure text, or empty when
    // the privilege was refused); Check: the worded difference of pcLocal and
    // serverLocal. Success only.
    std::string differenceText;
    int32_t clockMatches = 0;    // 1 when differenceText is "PC Clock Matches"
    bool askedLessOften = false; // failure: the server sent the kiss-o'-death RATE
    // Of a query of several servers or samples: every server asked, those that
    // asked to be asked less often, the one the time came from and the texts
    // of those that disagreed and were not used.
    std::vector<std::string> askedServers;
    std::vector<std::string> lessOften;
    std::string source;
    std::vector<std::string> rejections;
    // A Set whose change was beyond the limit and not made (refused, or
    // declined when asked): why, for the status bar and the log. The
    // difference then tells the change that was not made.
    std::string notSetText;
    // Set through the Tickwell Time service rather than by this program, and
    // whether the service set the clock (the difference says why not).
    bool viaService = false;
    bool serviceSetClock = false;
    // For the history: the PC's clock less the server's, measured before any
    // set; the error bound of the time (several servers or samples); whether the
    // clock was set to it.
    std::optional<int64_t> offsetMs;
    std::optional<int64_t> errorBoundMs;
    bool clockSet = false;
};

// The texts of a change beyond "Maximum automatic change": changeMs is the
// change the set would have made (server time minus PC time).
std::string refusedChangeText(int64_t changeMs, int32_t limitSeconds);
std::string askChangeText(int64_t changeMs, int32_t limitSeconds);
std::string declinedChangeText(int64_t changeMs);

enum class Sound { None, Start, Success };

// The decisions of one event. Only what is set changes; the window applies them.
struct CycleEffects {
    std::optional<QueryRequest> startQuery;
    std::optional<std::string> serverTimeText; // value 1428
    std::optional<std::string> pcTimeText;     // value 1429
    std::optional<std::string> differenceText; // value 1430 (its colour: clockMatches())
    std::optional<std::string> statusText;     // set only while the status bar is shown
    Sound sound = Sound::None;                 // set only while sounds are on
    std::vector<std::string> logEntries;       // set only while "Log events" is on
    std::optional<bool> waitCursor;            // true: show it, false: restore the arrow
    bool redrawValues = false;                 // repaint the server time and difference
    std::optional<history::Record> historyRecord; // set only while "Log events" is on
};

// The platform readings the cycle needs. Production answers them through the
// libraries' exports and IsNetworkAlive; tests answer them from a scripted clock.
class CycleServices {
  public:
    virtual ~CycleServices() = default;
    // A network connection exists.
    virtual bool networkAlive() = 0;
    // The local time now as the scheduler compares it: "MM-dd-yyyy hh':'mm':'ss tt".
    virtual std::string nowText() = 0;
    // The local date and time `minutes` from now (the "Time Next Checked" form).
    virtual std::string nextCheckText(int32_t minutes) = 0;
    // Seconds from the first text's time to the second's, signed, as the library
    // compares two date texts (an unreadable text counts as its date zero).
    virtual long long secondsBetween(const std::string& earlier, const std::string& later) = 0;
    // The PC-time value: date, " - ", time; UTC when displayLocalTime is not 0.
    virtual std::string pcTimeText(int32_t displayLocalTime, const std::string& datePicture,
                                   const std::string& timePicture) = 0;
    // A time as the server-time value shows it: the default date and time pictures.
    virtual std::string formatTime(const SYSTEMTIME& time) = 0;
    // A millisecond count that only moves forward, whatever is done to the clock.
    virtual uint64_t monotonicMs() = 0;
    // The local time `milliseconds` from now in timePicture, up to the next second.
    virtual std::string timeTextIn(uint64_t milliseconds, const std::string& timePicture) = 0;
};

// The status text is held in 128 bytes: longer texts are cut to 127 characters.
inline constexpr size_t kStatusTextMax = 127;
// The Time protocol's port (RFC 868); any other TCP port is read as Daytime.
inline constexpr int32_t kTimeProtocolPort = 37;
// The history's protocol of a time from `server` asked on `port`: "NTS" for an
// nts:// server (asked with NTS whatever the port), else "NTP", "Time" or
// "Daytime" by the port.
std::string historyProtocol(const std::string& server, int32_t port);
// A failed Set is retried this many minutes later (auto-set and retry on).
inline constexpr int32_t kRetryMinutes = 5;
// A "Network Timeout" of 0 or less would let a silent server hold the one query
// slot for ever: the query then waits this long.
inline constexpr int32_t kDefaultTimeoutSeconds = 30;
// An "Interval" of 0 or less would issue a Set at every tick: the schedule then
// keeps this many minutes, the default.
inline constexpr int32_t kDefaultIntervalMinutes = 720;
// The minutes from one regular check to the next for an "Interval" setting.
constexpr int32_t scheduleMinutes(int interval) {
    return interval > 0 ? interval : kDefaultIntervalMinutes;
}
// The least time between two queries of one server, the public time services'
// published rule; a RATE kiss doubles it for that server, up to kMaxCourtesyMs.
inline constexpr uint64_t kCourtesyMs = 4'000;
inline constexpr uint64_t kMaxCourtesyMs = 3'600'000;

class Cycle {
  public:
    // settings: the run's settings, read on every event and changed where the
    // cycle owns a value (the next check time, the cleaned current server).
    // creditLine: the status bar's resting text.
    Cycle(Settings& settings, CycleServices& services, std::string creditLine);

    // Check (3073) or Set (3074), from a menu, a tool button, the tray menu or the
    // scheduler (automatic: a Set the schedule or the retry issued). Ignored
    // while a query runs.
    CycleEffects command(QueryKind kind, bool automatic = false);

    // The one-second tick: refreshes the PC time and runs the schedule and the retry.
    CycleEffects tick();

    // The worker's result of the query this cycle asked for.
    CycleEffects queryFinished(const QueryResult& result);

    // What the running query is doing ("Asking 3 servers"), for the status bar.
    CycleEffects queryProgress(const std::string& text);

    bool querying() const { return querying_; }
    int32_t clockMatches() const { return clockMatches_; }
    bool retryPending() const { return retryPending_; }
    const std::string& retryAtText() const { return retryAtText_; }
    const std::string& lastMessage() const { return lastMessage_; }

    // A Check or Set waiting for its server's courtesy window to pass.
    const std::optional<QueryKind>& waiting() const { return waiting_; }

  private:
    // When a server may be asked again.
    struct ServerCourtesy {
        uint64_t lastStartMs = 0;
        uint64_t waitMs = kCourtesyMs;
    };
    // Milliseconds until the servers a query would ask first may be asked; 0
    // when they may now.
    uint64_t courtesyLeftMs(uint64_t nowMs) const;
    // The history's record of the query that ended.
    history::Record historyRecord(const QueryResult& result) const;
    std::vector<std::string> firstAsked() const;

    Settings& settings_;
    CycleServices& services_;
    std::string creditLine_;
    std::map<std::string, ServerCourtesy> servers_; // by courtesyKey
    std::vector<std::string> queryKeys_;            // the servers of the running query
    uint64_t queryStartMs_ = 0;
    std::string queryServer_; // the current server as the running query started
    std::optional<QueryKind> waiting_;
    bool waitingAutomatic_ = false; // nobody asked for the waiting command
    bool retrying_ = false;         // the command now issued is the retry of a failed Set
    history::Kind queryHistoryKind_ = history::Kind::Check;
    int32_t queryPort_ = 0;
    bool querying_ = false;
    int32_t clockMatches_ = 0;
    bool retryPending_ = false;
    std::string retryAtText_;
    std::string lastMessage_;
};

} // namespace tickwell
