// Runs one time query at a time on a thread of its own, so the window keeps
// painting and ticking while a server is slow. For Set the clock is set on that
// thread right after the reply is judged, so the delay-corrected time is not
// aged by a busy window. The outcome reaches the window as a posted
// WM_QUERY_DONE whose lParam is a QueryResult the window takes ownership of.
#pragma once

#include "cycle.h"

#include <windows.h>

#include <memory>

namespace tickwell {

class QueryWorker {
  public:
    QueryWorker();
    ~QueryWorker();
    QueryWorker(const QueryWorker&) = delete;
    QueryWorker& operator=(const QueryWorker&) = delete;

    // Starts the query; false when no thread could be made (nothing was started).
    bool start(HWND notify, const QueryRequest& request);

    // At exit: no clock set starts from now on, and one under way is waited
    // for, so the program never ends in the middle of setting the clock. A query
    // still waiting for its server is left to end with the process.
    void stop();

    // Takes the result a WM_QUERY_DONE carries.
    static std::unique_ptr<QueryResult> take(LPARAM lParam) {
        return std::unique_ptr<QueryResult>(reinterpret_cast<QueryResult*>(lParam));
    }

    // What the window and its worker threads share; it lives as long as either.
    struct Shared;

  private:
    std::shared_ptr<Shared> shared_;
};

} // namespace tickwell
