#include "query_worker.h"

#include "identity.h"
#include "library_calls.h"
#include "program_ids.h"
#include "program_seams.h"
#include "service_client.h"
#include "tw/change_limit.h"
#include "tw/filetime.h"
#include "zymdate.h"
#include "zymdate_texts.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>

namespace tickwell {

struct QueryWorker::Shared {
    std::timed_mutex clockSet;              // held for the whole clock set
    std::atomic<bool> allowClockSet{true};  // false once the program is ending
    std::atomic<bool> outcomePosted{false}; // of the running query
};

namespace {

// A full message queue refuses a post for a moment; a window that is gone for good.
constexpr int kPostAttempts = 20;
constexpr DWORD kPostRetryMs = 100;

// A Set through the service waits for its query and a moment more.
constexpr uint32_t kServiceExtraWaitMs = 10'000;

constexpr char kLostText[] =
    "The time query ended without an answer: the system is out of resources";

struct Job {
    std::shared_ptr<QueryWorker::Shared> shared;
    HWND notify;
    QueryRequest request;
    std::unique_ptr<QueryResult> result; // made before the thread, so a report never needs memory
};

// What the query is doing, posted to the window; a post refused is a progress
// text lost, nothing more.
void postProgress(HWND notify, const std::string& text) {
    auto copy = std::make_unique<std::string>(text);
    if (::PostMessageA(notify, WM_QUERY_PROGRESS, 0, reinterpret_cast<LPARAM>(copy.get())))
        copy.release();
}

// Several servers or a burst: the agreed time and what became of each server.
lib::TimeQuery askSeveral(const QueryRequest& request, HWND notify, QueryResult& result) {
    lib::ServersQuery asked =
        lib::askTimeServers(request.servers, request.port, request.timeoutSeconds,
                            request.serversToAsk, request.samplesPerServer,
                            [notify](const std::string& text) { postProgress(notify, text); });
    for (const lib::AskedServer& a : asked.asked) {
        result.askedServers.push_back(a.server);
        if (a.rateKiss)
            result.lessOften.push_back(a.server);
        if (a.verdict == ZYMDATE_ANSWER_FALSETICKER)
            result.rejections.push_back(a.message);
    }
    result.source = asked.time.server;
    if (asked.time.result == 1)
        result.errorBoundMs = static_cast<int64_t>(asked.errorBoundMs + 0.5);
    // The current server, cleaned, as a single query leaves it.
    asked.time.server = asked.asked.empty() ? request.server : asked.asked.front().server;
    return asked.time;
}

// Whether a clock set took: the clock, read right after it, is near the
// server's time and nearer than before (a refused set leaves it as it was).
bool clockWasSet(int64_t offsetBeforeMs, int64_t changeAfterMs) {
    constexpr int64_t kSetWithinMs = 250;
    const int64_t before = offsetBeforeMs < 0 ? -offsetBeforeMs : offsetBeforeMs;
    const int64_t after = changeAfterMs < 0 ? -changeAfterMs : changeAfterMs;
    return after <= kSetWithinMs && after < before;
}

// The change a clock set would make: the server's time less the PC's, both
// read as the difference shows them.
int64_t changeMs(const SYSTEMTIME& pcLocal, const SYSTEMTIME& serverLocal) {
    return (tw::systemTimeToUnits(serverLocal) - tw::systemTimeToUnits(pcLocal)) /
           tw::kUnitsPerMillisecond;
}

// A Set beyond "Maximum automatic change": an automatic one is not made, one a
// person asked for is made only when they say yes. True when the set goes on;
// serverUtc is then aged by the time the question was open.
bool changeAllowed(const QueryRequest& request, HWND notify, SYSTEMTIME& serverUtc,
                   QueryResult& result) {
    SYSTEMTIME pcLocal{};
    localClock().getLocalTime(&pcLocal);
    const SYSTEMTIME serverLocal = lib::convertToLocalTime(serverUtc);
    const int64_t change = changeMs(pcLocal, serverLocal);
    const tw::ChangeVerdict verdict =
        tw::judgeChange(change, request.maximumChangeSeconds, request.automatic);
    if (verdict == tw::ChangeVerdict::Set)
        return true;
    if (verdict == tw::ChangeVerdict::Ask) {
        const ULONGLONG askedAt = localClock().tickCount();
        const std::string question = askChangeText(change, request.maximumChangeSeconds);
        if (messageBox().show(notify, question.c_str(), kProgramName,
                              MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES) {
            const int64_t waited =
                static_cast<int64_t>(localClock().tickCount() - askedAt) * tw::kUnitsPerMillisecond;
            tw::unitsToSystemTime(tw::systemTimeToUnits(serverUtc) + waited, serverUtc);
            return true;
        }
        result.notSetText = declinedChangeText(change);
    } else {
        result.notSetText = refusedChangeText(change, request.maximumChangeSeconds);
    }
    // The difference shows the change that was not made, as a Check would.
    result.pcLocal = pcLocal;
    result.differenceText = lib::differenceText(pcLocal, serverLocal, result.clockMatches);
    return false;
}

// Set through the Tickwell Time service, which holds the right to set the
// clock that this program may lack. False when no service answers: the
// program then sets the clock itself, as it always has.
bool setThroughService(const QueryRequest& request, QueryResult& result) {
    service::Request asked{service::Verb::Set, request.server};
    // Several servers or samples: the service's own list and counts, which an
    // administrator chose for this PC.
    if (request.severalSamplesOrServers())
        asked.server.clear();
    const service::ClientAnswer answer = timeService().ask(
        asked, static_cast<uint32_t>(request.timeoutSeconds) * 1000 + kServiceExtraWaitMs);
    if (!answer.reply)
        return false;
    const service::Reply& reply = *answer.reply;
    result.viaService = true;
    result.server = reply.server.empty() ? request.server : reply.server;
    result.message = reply.message;
    result.ok = reply.result == service::Reply::Result::Ok && reply.serverTime.has_value();
    if (!result.ok)
        return true;
    result.delay = reply.delayMs;
    if (reply.changeMs)
        result.offsetMs = -static_cast<int64_t>(std::llround(*reply.changeMs));
    result.clockSet = reply.clockSet;
    result.serverUtc = *reply.serverTime;
    result.serverLocal = lib::convertToLocalTime(result.serverUtc);
    localClock().getLocalTime(&result.pcLocal);
    if (!reply.clockSet && reply.difference.rfind("Not set:", 0) == 0) {
        // Beyond the limit this PC allows: the difference shows the change not made.
        result.notSetText = reply.difference;
        result.differenceText =
            lib::differenceText(result.pcLocal, result.serverLocal, result.clockMatches);
        return true;
    }
    result.differenceText = reply.difference;
    result.clockMatches = reply.clockMatches ? 1 : 0;
    result.serviceSetClock = reply.clockSet;
    return true;
}

// The query and, for Set, the clock set; the readings the difference compares
// are taken as soon as the reply is judged.
void runQuery(const QueryRequest& request, HWND notify, QueryWorker::Shared& shared,
              QueryResult& result) {
    result.kind = request.kind;
    if (request.kind == QueryKind::Set && setThroughService(request, result))
        return;
    lib::TimeQuery query =
        request.severalSamplesOrServers()
            ? askSeveral(request, notify, result)
            : lib::checkAtomicTime(request.server, request.port, request.timeoutSeconds);
    result.ok = query.result == 1;
    result.server = query.server;
    result.message = query.message;
    if (!result.ok) {
        result.askedLessOften = result.message.find(ZYMDATE_RATE_KISS_TEXT) != std::string::npos;
        return;
    }
    result.delay = query.delay;
    SYSTEMTIME pcBefore{};
    localClock().getLocalTime(&pcBefore);
    const int64_t offset = -changeMs(pcBefore, lib::convertToLocalTime(query.serverUtc));
    result.offsetMs = offset;
    if (request.kind == QueryKind::Set &&
        !changeAllowed(request, notify, query.serverUtc, result)) {
        result.serverUtc = query.serverUtc;
        result.serverLocal = lib::convertToLocalTime(query.serverUtc);
        return;
    }
    if (request.kind == QueryKind::Set) {
        // Under the lock stop() takes: the program never ends in the middle of
        // a clock set, and none starts once it is ending.
        const std::lock_guard lock(shared.clockSet);
        if (shared.allowClockSet)
            result.differenceText = clockSetter().setPcTime(query.serverUtc, result.clockMatches);
    }
    result.serverUtc = query.serverUtc;
    result.serverLocal = lib::convertToLocalTime(query.serverUtc);
    localClock().getLocalTime(&result.pcLocal);
    if (request.kind == QueryKind::Check)
        result.differenceText =
            lib::differenceText(result.pcLocal, result.serverLocal, result.clockMatches);
    else
        result.clockSet = clockWasSet(offset, changeMs(result.pcLocal, result.serverLocal));
}

unsigned __stdcall workerMain(void* argument) {
    std::unique_ptr<Job> job(static_cast<Job*>(argument));
    QueryResult& result = *job->result;
    try {
        runQuery(job->request, job->notify, *job->shared, result);
    } catch (...) {
        // Out of memory mid-query: reported as a failure with a fixed text.
        result.ok = false;
        result.differenceText.clear();
        try {
            result.message = kLostText;
        } catch (...) {
        }
    }
    for (int attempt = 0; attempt < kPostAttempts && ::IsWindow(job->notify); ++attempt) {
        if (::PostMessageA(job->notify, WM_QUERY_DONE, 0,
                           reinterpret_cast<LPARAM>(job->result.get()))) {
            job->result.release();
            job->shared->outcomePosted = true;
            return 0;
        }
        ::Sleep(kPostRetryMs);
    }
    // Not posted: the window finds out through lostQuery().
    return 0;
}

} // namespace

QueryWorker::QueryWorker() : shared_(std::make_shared<Shared>()) {}

QueryWorker::~QueryWorker() {
    stop();
}

bool QueryWorker::start(HWND notify, const QueryRequest& request) {
    try {
        auto job =
            std::make_unique<Job>(Job{shared_, notify, request, std::make_unique<QueryResult>()});
        shared_->outcomePosted = false;
        tw::unique_handle thread(threads().start(&workerMain, job.get()));
        if (!thread)
            return false;
        job.release();
        thread_ = std::move(thread);
        runningKind_ = request.kind;
        runningServer_ = request.server;
        return true;
    } catch (...) {
        return false;
    }
}

std::unique_ptr<QueryResult> QueryWorker::take(LPARAM lParam) {
    thread_.reset();
    return std::unique_ptr<QueryResult>(reinterpret_cast<QueryResult*>(lParam));
}

std::optional<QueryResult> QueryWorker::lostQuery() {
    if (!thread_ || ::WaitForSingleObject(thread_.get(), 0) != WAIT_OBJECT_0 ||
        shared_->outcomePosted)
        return std::nullopt;
    thread_.reset();
    QueryResult lost;
    lost.kind = runningKind_;
    lost.server = runningServer_;
    lost.message = kLostText;
    return lost;
}

void QueryWorker::stop() {
    shared_->allowClockSet = false;
    // A set under way ends within moments; a set that waits longer is showing
    // its refusal box, and no clock change follows it.
    std::unique_lock lock(shared_->clockSet, std::defer_lock);
    (void)lock.try_lock_for(std::chrono::milliseconds(kClockSetExitWaitMs));
}

} // namespace tickwell
