#include "time_service.h"

#include "clock_set.h"
#include "machine_registry.h"
#include "tw/bstr.h"
#include "tw/change_limit.h"
#include "tw/filetime.h"
#include "tw/time_outcome.h"
#include "zymdate.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace tickwell::service {
namespace {

uint64_t nowMs() {
    return ::GetTickCount64();
}

std::string joinedLines(const std::vector<std::string>& servers) {
    std::string text;
    for (const std::string& server : servers)
        text += server + "\n";
    return text;
}

// The servers a query asks first: those whose courtesy is checked before it.
std::vector<std::string> firstAsked(const std::vector<std::string>& servers, int serversToAsk) {
    std::vector<std::string> first = servers;
    if (first.size() > static_cast<size_t>(std::max(serversToAsk, 1)))
        first.resize(static_cast<size_t>(std::max(serversToAsk, 1)));
    return first;
}

// The outcome as STATUS tells it: a sentence a person reads at a glance (the
// log keeps the server's own reply).
std::string outcomeText(const Reply& reply, bool set, bool refusedByLimit) {
    if (reply.result != Reply::Result::Ok)
        return "No time: " + reply.message;
    if (!set)
        return "Checked " + reply.server + ": " + reply.difference;
    if (reply.clockSet)
        return "Set from " + reply.server + ": " + reply.difference;
    if (refusedByLimit)
        return reply.difference;
    return "Could not set the clock from " + reply.server + ": " + reply.difference;
}

} // namespace

TimeService::TimeService(ServiceLog& log) : log_(log) {}

// The machine's NTS CA file for the queries from now on (the library holds it
// per process). One that cannot be read leaves the Windows certificate store in
// force, said in the log once per change of the setting; it is tried again at
// each query, so that a file put in place later is taken up.
void TimeService::useNtsCaFile(const std::string& file) {
    const bool changed = ntsCaFileSetting_ != file;
    ntsCaFileSetting_ = file;
    if (ntsCaFileInUse_ == file)
        return;
    const tw::unique_bstr path = tw::ownedBstr(file);
    if (::SETNTSCAFILE(path.get()) == 1) {
        ntsCaFileInUse_ = file;
        if (!changed) // it could not be read before
            log_.write(Severity::Information, "The NTS CA file " + file +
                                                  " is read now: NTS servers' certificates are "
                                                  "checked against it");
        return;
    }
    ::SETNTSCAFILE(nullptr);
    ntsCaFileInUse_ = std::string();
    if (changed)
        log_.write(Severity::Warning,
                   "The NTS CA file " + file +
                       " (machine setting \"NTS CA file\") cannot be read by the service: NTS "
                       "servers' certificates are checked against the Windows certificate store "
                       "until it can");
}

void TimeService::remember(const std::string& outcome) {
    const std::lock_guard lock(stateMutex_);
    lastOutcome_ = outcome;
    // In the form of the next set's time, so that the two read alike.
    int32_t now = 0;
    lastOutcomeAt_ = tw::takeBstr(::SETNEXTCHECKTIME(&now));
}

// The last set on the schedule, for STATUS: a program that keeps a history of
// the clock records it as its own automatic sets.
void TimeService::rememberScheduled(const Reply& reply) {
    const std::lock_guard lock(stateMutex_);
    lastScheduled_ = reply;
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    lastScheduled_->scheduledAt = now;
}

Reply TimeService::query(Purpose purpose, const std::string& server,
                         const MachineSettings& settings, bool& refusedByLimit) {
    refusedByLimit = false;
    std::vector<std::string> servers = settings.servers;
    int serversToAsk = settings.serversToAsk;
    if (!server.empty()) {
        servers = {server};
        serversToAsk = 1;
    }
    const bool setting = purpose != Purpose::Check;
    {
        const std::lock_guard lock(stateMutex_);
        const uint64_t now = nowMs();
        for (const std::string& s : firstAsked(servers, serversToAsk))
            if (courtesy_.waitMs(s, now) > 0)
                return errorReply(courtesy_.refusalText(s, now));
        if (setting && !setLimit_.allow(now))
            return errorReply(setLimit_.refusalText(now));
        for (const std::string& s : firstAsked(servers, serversToAsk))
            courtesy_.asked(s, now);
    }

    useNtsCaFile(settings.ntsCaFile);
    tw::OwnedTimeOutcome asked;
    const tw::unique_bstr list = tw::ownedBstr(joinedLines(servers));
    const int32_t result =
        ::ASKTIMESERVERS(list.get(), settings.port, settings.timeoutSeconds, serversToAsk,
                         settings.samplesPerServer, nullptr, nullptr, &asked.value);
    const ZYMDATE_TIME_OUTCOME& o = asked.value;
    {
        const std::lock_guard lock(stateMutex_);
        const uint64_t now = nowMs();
        for (int i = 0; i < std::min(o.answerCount, ZYMDATE_MAX_ANSWERS); ++i) {
            const std::string name = tw::fromBstr(o.answers[i].server);
            courtesy_.asked(name, now);
            if ((o.answers[i].flags & ZYMDATE_ANSWER_RATE_KISS) != 0)
                courtesy_.askedLessOften(name);
        }
    }

    Reply reply;
    reply.message = tw::fromBstr(o.message);
    if (result != 1) {
        reply.result = Reply::Result::Failed;
        reply.server = o.answerCount > 0 ? tw::fromBstr(o.answers[0].server) : server;
        return reply;
    }
    reply.result = Reply::Result::Ok;
    reply.server = tw::fromBstr(o.source);
    reply.serverTime = o.serverTime;
    reply.delayMs = o.delayMs;
    reply.changeMs = o.offsetMs;
    const auto changeMs = static_cast<int64_t>(o.offsetMs);

    int32_t matches = 0;
    if (!setting) {
        SYSTEMTIME serverUtc = o.serverTime, serverLocal{}, pcLocal{};
        ::CONVERTTOLOCALTIME(&serverUtc, &serverLocal);
        ::GetLocalTime(&pcLocal);
        reply.difference = tw::takeBstr(::DIFFERENCETEXT(&pcLocal, &serverLocal, &matches));
        reply.clockMatches = matches == 1;
        return reply;
    }
    // Every set by the service is unattended: whoever asked, the limit holds.
    if (tw::judgeChange(changeMs, settings.maximumChangeSeconds, true) != tw::ChangeVerdict::Set) {
        reply.difference =
            "Not set: " + tw::beyondLimitText(changeMs, settings.maximumChangeSeconds) +
            " on this PC";
        refusedByLimit = true;
        return reply;
    }
    std::unique_lock lock(setMutex_, std::defer_lock);
    if (!allowSet_ || !lock.try_lock_for(std::chrono::seconds(5))) {
        reply.difference = "Not set: the Tickwell Time service is stopping";
        return reply;
    }
    if (!allowSet_) {
        reply.difference = "Not set: the Tickwell Time service is stopping";
        return reply;
    }
    // The server's time now: the PC clock plus the agreed offset.
    SYSTEMTIME utc{};
    ::GetSystemTime(&utc);
    tw::unitsToSystemTime(tw::systemTimeToUnits(utc) + changeMs * tw::kUnitsPerMillisecond, utc);
    const ClockSet done = setClock(utc);
    reply.difference = done.text;
    reply.clockMatches = done.matches;
    reply.clockSet = done.set;
    return reply;
}

Reply TimeService::handle(const Request& request) {
    const MachineSettings settings = readMachineSettings();
    if (request.verb == Verb::Status) {
        Reply reply;
        reply.result = Reply::Result::Ok;
        const std::lock_guard lock(stateMutex_);
        reply.lastOutcome = lastOutcome_;
        reply.lastOutcomeAt = lastOutcomeAt_;
        if (lastScheduled_) {
            reply.scheduledAt = lastScheduled_->scheduledAt;
            reply.server = lastScheduled_->server;
            reply.delayMs = lastScheduled_->delayMs;
            reply.changeMs = lastScheduled_->changeMs;
            reply.difference = lastScheduled_->difference;
            reply.clockSet = lastScheduled_->clockSet;
        }
        // As the machine settings stand now; the schedule follows them within a minute.
        reply.schedule = settings.autoSet;
        if (settings.autoSet && schedule_) {
            auto minutes =
                static_cast<int32_t>((schedule_->untilNextMs(nowMs()) + 59'999) / 60'000);
            reply.nextCheck = tw::takeBstr(::SETNEXTCHECKTIME(&minutes));
        }
        return reply;
    }
    if (!request.server.empty() && !serverAllowed(settings, request.server))
        return errorReply(serverNotAllowedText(request.server));

    const std::lock_guard one(queryMutex_);
    const bool set = request.verb == Verb::Set;
    bool refusedByLimit = false;
    const Reply reply = query(set ? Purpose::SetForClient : Purpose::Check, request.server,
                              settings, refusedByLimit);
    std::string outcome = (set ? "Set for a user: " : "Check for a user: ") + reply.message;
    if (set && reply.result == Reply::Result::Ok)
        outcome += "; " + reply.difference;
    log_.write(reply.result == Reply::Result::Ok ? Severity::Information : Severity::Warning,
               outcome);
    if (reply.result != Reply::Result::Error)
        remember(outcomeText(reply, set, refusedByLimit));
    return reply;
}

void TimeService::runSchedule(HANDLE stop) {
    for (;;) {
        const MachineSettings settings = readMachineSettings();
        const uint64_t now = nowMs();
        bool due = false;
        {
            const std::lock_guard lock(stateMutex_);
            if (!schedule_)
                schedule_.emplace(settings.intervalMinutes, now);
            else
                schedule_->setInterval(settings.intervalMinutes, now);
            due = settings.autoSet && schedule_->due(now);
        }
        if (due) {
            Reply reply;
            bool refusedByLimit = false;
            {
                const std::lock_guard one(queryMutex_);
                reply = query(Purpose::SetOnSchedule, {}, settings, refusedByLimit);
            }
            // A set refused as too soon (courtesy, rate) is tried again at the retry.
            SetOutcome outcome = SetOutcome::Failed;
            if (refusedByLimit)
                outcome = SetOutcome::RefusedByLimit;
            else if (reply.clockSet)
                outcome = SetOutcome::Set;
            std::string text = "Scheduled set: " + reply.message;
            if (reply.result == Reply::Result::Ok)
                text += "; " + reply.difference;
            log_.write(outcome == SetOutcome::Failed ? Severity::Warning : Severity::Information,
                       text);
            if (reply.result != Reply::Result::Error) {
                remember(outcomeText(reply, true, refusedByLimit));
                rememberScheduled(reply);
            }
            const std::lock_guard lock(stateMutex_);
            schedule_->finished(outcome, nowMs());
        }
        uint64_t waitMs = 60'000;
        {
            const std::lock_guard lock(stateMutex_);
            if (settings.autoSet)
                waitMs = std::min<uint64_t>(
                    waitMs, std::max<uint64_t>(schedule_->untilNextMs(nowMs()), 100));
        }
        if (::WaitForSingleObject(stop, static_cast<DWORD>(waitMs)) == WAIT_OBJECT_0)
            return;
    }
}

void TimeService::stopSetting(DWORD waitMs) {
    allowSet_ = false;
    std::unique_lock lock(setMutex_, std::defer_lock);
    (void)lock.try_lock_for(std::chrono::milliseconds(waitMs));
}

} // namespace tickwell::service
