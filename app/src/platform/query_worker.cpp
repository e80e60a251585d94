#include "query_worker.h"

#include "library_calls.h"
#include "program_ids.h"
#include "program_seams.h"
#include "tw/handles.h"
#include "zymdate_texts.h"

#include <process.h>

namespace tickwell {

struct QueryWorker::Shared {
    CRITICAL_SECTION clockSet;
    bool allowClockSet = true; // guarded by clockSet
    Shared() { ::InitializeCriticalSection(&clockSet); }
    ~Shared() { ::DeleteCriticalSection(&clockSet); }
};

namespace {

struct Job {
    std::shared_ptr<QueryWorker::Shared> shared;
    HWND notify;
    QueryRequest request;
};

// The query and, for Set, the clock set; the readings the difference compares
// are taken as soon as the reply is judged.
QueryResult runQuery(const QueryRequest& request, QueryWorker::Shared& shared) {
    QueryResult result;
    result.kind = request.kind;
    lib::TimeQuery query =
        lib::checkAtomicTime(request.server, request.port, request.timeoutSeconds);
    result.ok = query.result == 1;
    result.server = query.server;
    result.message = query.message;
    if (!result.ok) {
        result.askedLessOften = result.message.find(ZYMDATE_RATE_KISS_TEXT) != std::string::npos;
        return result;
    }
    result.delay = query.delay;
    if (request.kind == QueryKind::Set) {
        // Under the lock stop() takes: the program never ends in the middle of
        // a clock set, and none starts once it is ending.
        ::EnterCriticalSection(&shared.clockSet);
        if (shared.allowClockSet)
            result.differenceText = lib::setPcTime(query.serverUtc, result.clockMatches);
        ::LeaveCriticalSection(&shared.clockSet);
    }
    result.serverUtc = query.serverUtc;
    result.serverLocal = lib::convertToLocalTime(query.serverUtc);
    localClock().getLocalTime(&result.pcLocal);
    if (request.kind == QueryKind::Check)
        result.differenceText =
            lib::differenceText(result.pcLocal, result.serverLocal, result.clockMatches);
    return result;
}

unsigned __stdcall workerMain(void* argument) {
    std::unique_ptr<Job> job(static_cast<Job*>(argument));
    try {
        auto result = std::make_unique<QueryResult>(runQuery(job->request, *job->shared));
        // When the window is gone nobody waits for the result.
        if (::PostMessageA(job->notify, WM_QUERY_DONE, 0, reinterpret_cast<LPARAM>(result.get())))
            result.release();
    } catch (...) {
        // Out of memory: the window never learns the outcome; nothing else to do.
    }
    return 0;
}

} // namespace

QueryWorker::QueryWorker() : shared_(std::make_shared<Shared>()) {}

QueryWorker::~QueryWorker() {
    stop();
}

bool QueryWorker::start(HWND notify, const QueryRequest& request) {
    auto job = std::make_unique<Job>(Job{shared_, notify, request});
    tw::unique_handle thread(
        reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &workerMain, job.get(), 0, nullptr)));
    if (!thread)
        return false;
    job.release();
    return true;
}

void QueryWorker::stop() {
    ::EnterCriticalSection(&shared_->clockSet);
    shared_->allowClockSet = false;
    ::LeaveCriticalSection(&shared_->clockSet);
}

} // namespace tickwell
