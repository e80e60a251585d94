// The query and the NIST line run at high priority: afterwards the process
// must be back at the class it had, not at normal. A user who started
// Tickwell at low priority keeps it.
#include <gtest/gtest.h>

#include "query/time_query.h"
#include "scripted_server.h"
#include "time_server/time_server_clock.h"

#include <windows.h>

namespace zymdate {
namespace {

using namespace tw::testserver;

// Puts the test process in a class for a scope and back in its own after it.
class ProcessClassFor {
  public:
    explicit ProcessClassFor(DWORD priorityClass)
        : saved_(::GetPriorityClass(::GetCurrentProcess())) {
        set_ = ::SetPriorityClass(::GetCurrentProcess(), priorityClass) != FALSE;
    }
    ~ProcessClassFor() { ::SetPriorityClass(::GetCurrentProcess(), saved_); }
    ProcessClassFor(const ProcessClassFor&) = delete;
    ProcessClassFor& operator=(const ProcessClassFor&) = delete;
    bool set() const { return set_; }

  private:
    DWORD saved_;
    bool set_ = false;
};

TEST(HighPriorityScope, QueryAndNistLineRestoreTheClassTheProcessHad) {
    for (const DWORD given : {DWORD{BELOW_NORMAL_PRIORITY_CLASS}, DWORD{IDLE_PRIORITY_CLASS}}) {
        SCOPED_TRACE(given);
        ProcessClassFor low(given);
        ASSERT_TRUE(low.set());
        ASSERT_EQ(::GetPriorityClass(::GetCurrentProcess()), given);

        ScriptedServer server({send("\n52289 02-01-15 06:21:59 00 0 0 716.2 UTC(NIST) * \n")});
        const QueryOutcome out = checkAtomicTime("127.0.0.1", server.port(), 5);
        EXPECT_TRUE(out.ok) << out.message;
        EXPECT_EQ(::GetPriorityClass(::GetCurrentProcess()), given) << "after the query";

        double advance = 0;
        EXPECT_FALSE(sysTimeToNistTime(0, advance).empty());
        EXPECT_EQ(::GetPriorityClass(::GetCurrentProcess()), given) << "after the NIST line";
    }
}

} // namespace
} // namespace zymdate
