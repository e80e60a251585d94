// Runs one time query at a time on a thread of its own, so the window keeps
// painting and ticking while a server is slow. For Set the clock is set on that
// thread right after the reply is judged, so the delay-corrected time is not
// aged by a busy window. The outcome reaches the window as a posted
// WM_QUERY_DONE whose lParam is a QueryResult the window takes ownership of;
// a query whose outcome could not be posted is reported by lostQuery(), so the
// window always gets its one query slot back.
#pragma once

#include "cycle.h"
#include "tw/handles.h"

#include <windows.h>

#include <memory>
#include <optional>

namespace tickwell {

// The longest Exit waits for a clock set under way.
inline constexpr DWORD kClockSetExitWaitMs = 2000;

class QueryWorker {
  public:
    QueryWorker();
    ~QueryWorker();
    QueryWorker(const QueryWorker&) = delete;
    QueryWorker& operator=(const QueryWorker&) = delete;

    // Starts the query; false when no thread could be made (nothing was started).
    bool start(HWND notify, const QueryRequest& request);

    // Takes the result a WM_QUERY_DONE carries.
    std::unique_ptr<QueryResult> take(LPARAM lParam);

    // A failure result when the running query's thread has ended without its
    // outcome reaching the window (it could not be posted); none otherwise.
    std::optional<QueryResult> lostQuery();

    // At exit: no clock set starts from now on, and one under way is waited for
    // (up to kClockSetExitWaitMs), so the program never ends in the middle of
    // setting the clock, nor waits on a message box the set may show. A query
    // still waiting for its server is left to end with the process.
    void stop();

    // What the window and its worker threads share; it lives as long as either.
    struct Shared;

  private:
    std::shared_ptr<Shared> shared_;
    tw::unique_handle thread_; // of the running query, until its outcome arrives
    QueryKind runningKind_ = QueryKind::Check;
    std::string runningServer_;
};

} // namespace tickwell
