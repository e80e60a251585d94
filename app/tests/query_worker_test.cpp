// The query worker in-process, against a loopback Daytime server, with the
// clock setter replaced: its outcome always reaches the window or is reported
// lost, and Exit neither waits on a clock set's message box nor ends in the
// middle of a set.
#include "demo_line.h"
#include "program_ids.h"
#include "program_seams.h"
#include "query_worker.h"
#include "scripted_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

namespace tickwell {
namespace {

using namespace tw::testserver;

// A window of the test's thread that the worker posts to.
struct Inbox {
    HWND window =
        ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ~Inbox() {
        if (window != nullptr)
            ::DestroyWindow(window);
    }
    // The result the worker posts, waiting up to `ms`.
    std::unique_ptr<QueryResult> take(QueryWorker& worker, DWORD ms = 10'000) {
        const ULONGLONG until = ::GetTickCount64() + ms;
        MSG message{};
        while (::GetTickCount64() < until) {
            if (::PeekMessageA(&message, window, WM_QUERY_DONE, WM_QUERY_DONE, PM_REMOVE))
                return worker.take(message.lParam);
            ::Sleep(10);
        }
        return nullptr;
    }
};

QueryRequest request(QueryKind kind, const ScriptedServer& server) {
    QueryRequest r;
    r.kind = kind;
    r.server = "127.0.0.1";
    r.port = server.port();
    r.timeoutSeconds = 5;
    return r;
}

// The clock set stands in for SETPCTIME: it may block until released (as its
// refusal box does) or take a moment (as a set does).
std::atomic<bool> setEntered{false};
std::atomic<bool> setFinished{false};
std::atomic<int> setCalls{0};
HANDLE releaseSet = nullptr;
DWORD setTakesMs = 0;
std::string fakeSetPcTime(SYSTEMTIME&, int32_t& matchFlag) {
    ++setCalls;
    setEntered = true;
    if (releaseSet != nullptr)
        ::WaitForSingleObject(releaseSet, INFINITE);
    ::Sleep(setTakesMs);
    setFinished = true;
    matchFlag = 1;
    return "PC Clock Matches";
}

void resetFake() {
    setEntered = false;
    setFinished = false;
    setCalls = 0;
    releaseSet = nullptr;
    setTakesMs = 0;
}

bool waitFor(const std::atomic<bool>& flag) {
    for (int i = 0; i < 1000 && !flag; ++i)
        ::Sleep(10);
    return flag;
}

TEST(QueryWorker, SetReachesTheWindowAndNoneStartsOnceExitHasBegun) {
    tw::ScopedSeam<ClockSetterSeam> setter({fakeSetPcTime});
    resetFake();
    ScriptedServer server({sendFn([] { return tw::demo::daytimeLine(); })});
    ASSERT_TRUE(server.listening());
    Inbox inbox;
    QueryWorker worker;
    ASSERT_TRUE(worker.start(inbox.window, request(QueryKind::Set, server)));
    const auto done = inbox.take(worker);
    ASSERT_NE(done, nullptr);
    EXPECT_TRUE(done->ok) << done->message;
    EXPECT_EQ(done->differenceText, "PC Clock Matches");
    EXPECT_FALSE(worker.lostQuery());

    worker.stop();
    ASSERT_TRUE(worker.start(inbox.window, request(QueryKind::Set, server)));
    const auto after = inbox.take(worker);
    ASSERT_NE(after, nullptr);
    EXPECT_TRUE(after->ok);
    EXPECT_EQ(setCalls.load(), 1) << "a Set after Exit began set the clock";
}

// Exit while the set shows its box: it gives up waiting (the box shows only
// when no set will follow), instead of waiting for a click for ever.
TEST(QueryWorker, ExitDoesNotWaitOnAClockSetThatBlocks) {
    tw::ScopedSeam<ClockSetterSeam> setter({fakeSetPcTime});
    resetFake();
    tw::unique_handle release(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    releaseSet = release.get();
    ScriptedServer server({sendFn([] { return tw::demo::daytimeLine(); })});
    Inbox inbox;
    QueryWorker worker;
    ASSERT_TRUE(worker.start(inbox.window, request(QueryKind::Set, server)));
    ASSERT_TRUE(waitFor(setEntered));
    worker.stop(); // returns while the set is still blocked
    EXPECT_FALSE(setFinished);
    ::SetEvent(release.get());
    EXPECT_NE(inbox.take(worker), nullptr);
}

// Exit during a set that takes a moment waits for it to end.
TEST(QueryWorker, ExitNeverEndsInTheMiddleOfAClockSet) {
    tw::ScopedSeam<ClockSetterSeam> setter({fakeSetPcTime});
    resetFake();
    setTakesMs = 300;
    ScriptedServer server({sendFn([] { return tw::demo::daytimeLine(); })});
    Inbox inbox;
    QueryWorker worker;
    ASSERT_TRUE(worker.start(inbox.window, request(QueryKind::Set, server)));
    ASSERT_TRUE(waitFor(setEntered));
    worker.stop();
    EXPECT_TRUE(setFinished) << "Exit went ahead while the clock was being set";
    EXPECT_NE(inbox.take(worker), nullptr);
}

// The limit on automatic changes, against a server 2 days ahead (or 10 s ahead)
// and a limit of 15 hours: an automatic Set beyond it is not made and says why,
// one a person asked for asks first, and within it (or with no limit) nothing asks.
int boxAnswer = IDNO;
int boxesShown = 0;
std::string boxText;
int WINAPI fakeBox(HWND, LPCSTR text, LPCSTR, UINT) {
    ++boxesShown;
    boxText = text;
    return boxAnswer;
}

// The PC clock read in whole seconds, as the Daytime line tells the server's.
void WINAPI wholeSecondsLocalTime(LPSYSTEMTIME time) {
    ::GetLocalTime(time);
    time->wMilliseconds = 0;
}

TEST(QueryWorker, SetBeyondTheLimitIsRefusedWhenAutomaticAndAskedFirstByHand) {
    tw::ScopedSeam<ClockSetterSeam> setter({fakeSetPcTime});
    tw::ScopedSeam<MessageBoxSeam> box({fakeBox});
    tw::ScopedSeam<LocalClockSeam> clock({wholeSecondsLocalTime, ::GetTickCount64});
    constexpr int kTwoDays = 2 * 86'400;
    const char* const kRefused = "Not set: the server's time is 2 Days away, more than the 15 "
                                 "Hours allowed for automatic changes. Press Set to set it.";
    const struct {
        int serverAhead;
        int32_t limit;
        bool automatic;
        int answer;
        bool boxShown, setMade;
        const char* notSet; // why, when not set
    } cases[] = {
        {kTwoDays, 54'000, true, IDYES, false, false, kRefused},
        {-kTwoDays, 54'000, true, IDYES, false, false, kRefused},
        {kTwoDays, 54'000, false, IDNO, true, false,
         "Not set: the server's time is 2 Days away and the PC clock was left as it is."},
        {kTwoDays, 54'000, false, IDYES, true, true, ""},
        {kTwoDays, 0, true, IDNO, false, true, ""},
        {10, 54'000, true, IDNO, false, true, ""},
        {10, 54'000, false, IDNO, false, true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.serverAhead) + " s, limit " + std::to_string(c.limit) +
                     (c.automatic ? ", automatic" : ", by hand"));
        resetFake();
        boxesShown = 0;
        boxAnswer = c.answer;
        const int ahead = c.serverAhead;
        ScriptedServer server({sendFn([ahead] { return tw::demo::daytimeLine(ahead); })});
        Inbox inbox;
        QueryWorker worker;
        QueryRequest r = request(QueryKind::Set, server);
        r.automatic = c.automatic;
        r.maximumChangeSeconds = c.limit;
        ASSERT_TRUE(worker.start(inbox.window, r));
        const auto done = inbox.take(worker);
        ASSERT_NE(done, nullptr);
        EXPECT_TRUE(done->ok) << done->message;
        EXPECT_EQ(boxesShown, c.boxShown ? 1 : 0);
        if (c.boxShown) {
            EXPECT_EQ(boxText, "The server's time is 2 Days away, more than the 15 Hours allowed "
                               "for automatic changes.\n\nSet the PC clock to the server's time?");
        }
        EXPECT_EQ(setCalls.load(), c.setMade ? 1 : 0);
        EXPECT_EQ(done->notSetText, c.notSet);
        if (!c.setMade) { // the difference tells the change that was not made
            EXPECT_NE(done->differenceText.find(" Day"), std::string::npos) << done->differenceText;
        }
    }
}

// A Set goes through the Tickwell Time service when it answers, and the
// program sets the clock itself only when no service is there.
std::optional<service::Reply> serviceReply;
service::ClientAnswer fakeService(const service::Request& request, uint32_t) {
    service::ClientAnswer answer;
    if (request.verb != service::Verb::Set || request.server != "127.0.0.1")
        answer.error = "unexpected request";
    else if (!serviceReply)
        answer.serviceAbsent = true;
    else
        answer.reply = serviceReply;
    return answer;
}

TEST(QueryWorker, ASetGoesThroughTheServiceWhenItAnswers) {
    tw::ScopedSeam<ClockSetterSeam> setter({fakeSetPcTime});
    tw::ScopedSeam<TimeServiceSeam> seam({fakeService});
    using service::Reply;
    const auto reply = [](Reply::Result result, const std::string& difference, bool set) {
        Reply r;
        r.result = result;
        r.server = "127.0.0.1";
        r.message = result == Reply::Result::Ok ? "the server's line" : "why not";
        if (result == Reply::Result::Ok) {
            ::GetSystemTime(&r.serverTime.emplace());
            r.difference = difference;
            r.clockMatches = difference == "PC Clock Matches";
            r.clockSet = set;
        }
        return r;
    };
    const struct {
        const char* what;
        std::optional<Reply> answer;
        bool ok, viaService, ownSet;
        const char* difference;
        const char* notSet;
    } cases[] = {
        {"no service: the program sets it", std::nullopt, true, false, true, "PC Clock Matches",
         ""},
        {"set by the service", reply(Reply::Result::Ok, "PC Clock Matches", true), true, true,
         false, "PC Clock Matches", ""},
        {"the service's limit",
         reply(Reply::Result::Ok, "Not set: the server's time is 2 Days", false), true, true, false,
         "", "Not set: the server's time is 2 Days"},
        {"no time", reply(Reply::Result::Failed, "", false), false, true, false, "", ""},
        {"refused", reply(Reply::Result::Error, "", false), false, true, false, "", ""},
    };
    ScriptedServer server({sendFn([] { return tw::demo::daytimeLine(); })});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        resetFake();
        serviceReply = c.answer;
        Inbox inbox;
        QueryWorker worker;
        ASSERT_TRUE(worker.start(inbox.window, request(QueryKind::Set, server)));
        const auto done = inbox.take(worker);
        ASSERT_NE(done, nullptr);
        EXPECT_EQ(done->ok, c.ok) << done->message;
        EXPECT_EQ(done->viaService, c.viaService);
        EXPECT_EQ(setCalls.load(), c.ownSet ? 1 : 0);
        EXPECT_EQ(done->notSetText, c.notSet);
        if (c.ok && c.notSet[0] == '\0') {
            EXPECT_EQ(done->differenceText, c.difference);
        }
        if (!c.ok) {
            EXPECT_EQ(done->message, "why not");
        }
    }
}

// A window that cannot be told the outcome still gets its query slot back.
TEST(QueryWorker, OutcomeThatCannotBePostedIsReportedLost) {
    ScriptedServer server({sendFn([] { return tw::demo::daytimeLine(); })});
    HWND gone =
        ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ::DestroyWindow(gone);
    QueryWorker worker;
    ASSERT_TRUE(worker.start(gone, request(QueryKind::Check, server)));
    std::optional<QueryResult> lost;
    for (int i = 0; i < 1000 && !lost; ++i) {
        ::Sleep(10);
        lost = worker.lostQuery();
    }
    ASSERT_TRUE(lost);
    EXPECT_FALSE(lost->ok);
    EXPECT_EQ(lost->kind, QueryKind::Check);
    EXPECT_EQ(lost->server, "127.0.0.1");
    EXPECT_NE(lost->message.find("ended without an answer"), std::string::npos) << lost->message;
    EXPECT_FALSE(worker.lostQuery()) << "reported once";
}

} // namespace
} // namespace tickwell
