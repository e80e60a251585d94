// The check-and-set cycle: what a command, a finished query and a clock tick
// decide. Settings are read afresh on every event, so a change applied in the
// options dialog takes effect at the next one.
#include "cycle.h"

#include "server_list.h"
#include "tw/change_limit.h"
#include "tw/server_name.h"
#include "zymdate_texts.h"

#include <algorithm>
#include <utility>

namespace tickwell {
namespace {

const char kCheckingPrefix[] = "Checking time at ";
const char kRetryPrefix[] = "Failed, Next attempt at: ";
const char kSetByServiceNote[] = " (set by the Tickwell Time service)";
const char kServiceCouldNotNote[] = " (the Tickwell Time service could not set the clock)";

// The courtesy rule counts a server by the name the query asks (the note after
// a name does not make it another server), in any case.
std::string courtesyKey(const std::string& server) {
    return tw::serverIdentity(server);
}

// What goes through the 128-byte status text is cut; only a failure reason is
// shown whole, because it is sent to the bar directly.
std::string statusCut(std::string text) {
    if (text.size() > kStatusTextMax)
        text.resize(kStatusTextMax);
    return text;
}

// A tick that issues Set shows the command's decisions and its own refresh.
CycleEffects withRefresh(CycleEffects set, CycleEffects&& refresh) {
    set.pcTimeText = std::move(refresh.pcTimeText);
    set.redrawValues = refresh.redrawValues;
    return set;
}

} // namespace

std::string refusedChangeText(int64_t changeMs, int32_t limitSeconds) {
    return "Not set: " + tw::beyondLimitText(changeMs, limitSeconds) + ". Press Set to set it.";
}

std::string askChangeText(int64_t changeMs, int32_t limitSeconds) {
    std::string text = tw::beyondLimitText(changeMs, limitSeconds);
    text[0] = 'T';
    return text + ".\n\nSet the PC clock to the server's time?";
}

std::string declinedChangeText(int64_t changeMs) {
    return "Not set: the server's time is " + tw::changeWords(changeMs) +
           " away and the PC clock was left as it is.";
}

std::string historyProtocol(const std::string& server, int32_t port) {
    return tw::isNtsServerName(server)      ? "NTS"
           : port == QueryRequest::kNtpPort ? "NTP"
           : port == kTimeProtocolPort      ? "Time"
                                            : "Daytime";
}

Cycle::Cycle(Settings& settings, CycleServices& services, std::string creditLine)
    : settings_(settings), services_(services), creditLine_(std::move(creditLine)) {}

std::vector<std::string> Cycle::firstAsked() const {
    std::vector<std::string> servers = serversInAskingOrder(settings_);
    if (servers.size() > static_cast<size_t>(std::max(settings_.serversToAsk, 1)))
        servers.resize(static_cast<size_t>(std::max(settings_.serversToAsk, 1)));
    return servers;
}

uint64_t Cycle::courtesyLeftMs(uint64_t nowMs) const {
    uint64_t left = 0;
    for (const std::string& server : firstAsked()) {
        const auto found = servers_.find(courtesyKey(server));
        if (found == servers_.end())
            continue;
        const uint64_t since = nowMs - found->second.lastStartMs;
        if (since < found->second.waitMs)
            left = std::max(left, found->second.waitMs - since);
    }
    return left;
}

CycleEffects Cycle::command(QueryKind kind, bool automatic) {
    CycleEffects effects;
    // One query at a time: the worker and the library's connection slot are single.
    if (querying_)
        return effects;
    // Without a connection the user asked to wait rather than see a failure:
    // the command leaves no trace at all.
    if (settings_.waitForConnection && !services_.networkAlive())
        return effects;

    const uint64_t nowMs = services_.monotonicMs();
    if (const uint64_t leftMs = courtesyLeftMs(nowMs); leftMs > 0) {
        // One command waits; a Set asked for meanwhile makes it a Set, which
        // shows all that a Check would.
        const QueryKind waitingKind =
            (kind == QueryKind::Set || waiting_ == QueryKind::Set) ? QueryKind::Set : kind;
        const bool news = waiting_ != waitingKind;
        // A person's command makes the waiting one theirs: it may ask them.
        waitingAutomatic_ = automatic && (!waiting_ || waitingAutomatic_);
        waiting_ = waitingKind;
        if (news && settings_.showStatusBar)
            effects.statusText =
                statusCut("Waiting until " + services_.timeTextIn(leftMs, settings_.timePicture) +
                          " to ask " + tw::cleanServerName(settings_.currentServer) + " again");
        return effects;
    }
    waiting_.reset();
    queryKeys_.clear();
    for (const std::string& server : firstAsked()) {
        queryKeys_.push_back(courtesyKey(server));
        servers_[queryKeys_.back()].lastStartMs = nowMs;
    }
    queryStartMs_ = nowMs;
    queryServer_ = settings_.currentServer;
    queryPort_ = settings_.timePort;
    queryHistoryKind_ = kind == QueryKind::Check ? history::Kind::Check
                        : !automatic             ? history::Kind::Set
                        : retrying_              ? history::Kind::Retry
                                                 : history::Kind::AutoSet;

    effects.waitCursor = true;
    if (settings_.useSounds)
        effects.sound = Sound::Start;
    if (settings_.showStatusBar)
        effects.statusText = statusCut(kCheckingPrefix + settings_.currentServer);

    QueryRequest request;
    request.kind = kind;
    request.server = settings_.currentServer;
    request.port = settings_.timePort;
    request.timeoutSeconds =
        settings_.networkTimeout > 0 ? settings_.networkTimeout : kDefaultTimeoutSeconds;
    request.serversToAsk = settings_.serversToAsk;
    request.samplesPerServer = settings_.samplesPerServer;
    request.automatic = automatic && kind == QueryKind::Set;
    request.maximumChangeSeconds = settings_.maximumAutomaticChange;
    if (request.severalSamplesOrServers())
        request.servers = serversInAskingOrder(settings_);
    effects.startQuery = std::move(request);
    querying_ = true;
    return effects;
}

history::Record Cycle::historyRecord(const QueryResult& result) const {
    history::Record record;
    record.kind = queryHistoryKind_;
    record.server = result.source.empty() ? result.server : result.source;
    record.protocol = historyProtocol(record.server, queryPort_);
    record.result = !result.ok                  ? history::Result::Failed
                    : !result.notSetText.empty() ? history::Result::Refused
                                                 : history::Result::Ok;
    if (result.ok) {
        record.differenceMs = result.offsetMs;
        record.delayMs = static_cast<int64_t>(result.delay + 0.5);
        record.errorBoundMs = result.errorBoundMs;
        record.clockSet = result.clockSet;
    }
    return record;
}

CycleEffects Cycle::queryFinished(const QueryResult& result) {
    CycleEffects effects;
    // A result nobody asked for (a stray post) must not end the running query's
    // slot or show its texts.
    if (!querying_)
        return effects;
    querying_ = false;
    // Servers asked beyond the first ones (in place of silent ones) count too.
    for (const std::string& server : result.askedServers)
        servers_[courtesyKey(server)].lastStartMs = queryStartMs_;
    const auto askLessOften = [this](const std::string& key) {
        ServerCourtesy& courtesy = servers_[key];
        courtesy.waitMs = std::min(courtesy.waitMs * 2, kMaxCourtesyMs);
    };
    if (result.askedLessOften && !queryKeys_.empty())
        askLessOften(queryKeys_.front());
    for (const std::string& server : result.lessOften)
        askLessOften(courtesyKey(server));
    // The query cleaned the name ("host (note)" -> "host"); later queries use
    // that, unless the user chose another server while it ran.
    if (settings_.currentServer == queryServer_)
        settings_.currentServer = result.server;
    lastMessage_ = result.message;
    effects.waitCursor = false;
    if (settings_.logEvents)
        effects.historyRecord = historyRecord(result);

    if (!result.ok) {
        effects.serverTimeText = result.message;
        if (settings_.logEvents)
            effects.logEntries.push_back(result.message);
        if (settings_.showStatusBar)
            effects.statusText = result.message;
        // Retried even when the Set was started by hand: with auto-set on, the
        // user relies on the clock being kept right.
        if (result.kind == QueryKind::Set && settings_.autoSetTime && settings_.connectionRetry) {
            retryPending_ = true;
            retryAtText_ = services_.nextCheckText(kRetryMinutes);
            if (settings_.showStatusBar)
                effects.statusText = statusCut(kRetryPrefix + retryAtText_);
        }
        return effects;
    }

    if (result.kind == QueryKind::Set)
        retryPending_ = false;
    switch (settings_.displayNistTime) {
    case 0:
        effects.serverTimeText = services_.formatTime(result.serverLocal);
        break;
    case 1:
        effects.serverTimeText = services_.formatTime(result.serverUtc);
        break;
    case 2:
        effects.serverTimeText = result.message;
        break;
    default: // an unknown style leaves the shown server time as it was
        break;
    }
    effects.pcTimeText = services_.pcTimeText(settings_.displayLocalTime, settings_.datePicture,
                                              settings_.timePicture);
    effects.differenceText = result.differenceText;
    if (!result.notSetText.empty()) {
        // Not a failure: the server answered, and retrying would only be
        // refused again. The regular schedule goes on.
        clockMatches_ = 0;
        if (settings_.showStatusBar)
            effects.statusText = result.notSetText;
        if (settings_.logEvents) {
            effects.logEntries.push_back(result.message);
            effects.logEntries.push_back(result.notSetText);
        }
        effects.redrawValues = true;
        return effects;
    }
    // The worker words each difference from a cleared flag, so a mismatch after
    // a match is coloured as a mismatch.
    clockMatches_ = result.clockMatches;
    if (settings_.useSounds)
        effects.sound = Sound::Success;
    if (settings_.showStatusBar) {
        std::string status = creditLine_;
        const std::string& from = result.source.empty() ? result.server : result.source;
        const bool authenticated = tw::isNtsServerName(from);
        if (!result.source.empty() || result.viaService || authenticated) {
            // Where the time came from, whether it was authenticated, who was
            // outvoted, and who set the clock.
            status = "Time from " + from;
            if (authenticated)
                status += ", " ZYMDATE_NTS_TEXT;
            for (const std::string& rejection : result.rejections)
                status += "; " + rejection;
            if (result.viaService)
                status += result.serviceSetClock ? kSetByServiceNote : kServiceCouldNotNote;
        }
        effects.statusText = statusCut(status);
    }
    // The log keeps the server's reply, not the difference: one line per query.
    if (settings_.logEvents)
        effects.logEntries.push_back(result.message);
    effects.redrawValues = true;
    return effects;
}

CycleEffects Cycle::queryProgress(const std::string& text) {
    CycleEffects effects;
    if (querying_ && settings_.showStatusBar)
        effects.statusText = statusCut(text);
    return effects;
}

CycleEffects Cycle::tick() {
    CycleEffects effects;
    effects.pcTimeText = services_.pcTimeText(settings_.displayLocalTime, settings_.datePicture,
                                              settings_.timePicture);
    effects.redrawValues = true;
    // A command that waited for its server's courtesy window goes first, with or
    // without auto-set: the user asked for it.
    if (waiting_ && !querying_ && courtesyLeftMs(services_.monotonicMs()) == 0) {
        const QueryKind kind = *waiting_;
        waiting_.reset();
        return withRefresh(command(kind, waitingAutomatic_), std::move(effects));
    }
    if (!settings_.autoSetTime)
        return effects;
    // A schedule or retry that comes due during a query stays due: it fires at
    // the first tick after the query ends instead of being dropped as busy.
    if (querying_)
        return effects;

    const std::string now = services_.nowText();
    if (services_.secondsBetween(settings_.nextCheckText, now) >= 0) {
        // Advanced before the attempt, whatever its outcome: a failed or skipped
        // Set keeps the rhythm, and a time long past fires once, not once per
        // missed interval.
        settings_.nextCheckText = services_.nextCheckText(scheduleMinutes(settings_.interval));
        return withRefresh(command(QueryKind::Set, true), std::move(effects));
    }
    // Not cleared here: a retry dropped by the network gate is tried again on
    // every tick until a connection exists.
    if (retryPending_ && settings_.connectionRetry &&
        services_.secondsBetween(retryAtText_, now) >= 0) {
        retrying_ = true;
        CycleEffects retry = command(QueryKind::Set, true);
        retrying_ = false;
        return withRefresh(std::move(retry), std::move(effects));
    }
    return effects;
}

} // namespace tickwell
