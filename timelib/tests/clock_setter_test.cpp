// Setting the clock. A real change is only ever made by a fake setter; the
// real export is called only with changes Wine refuses (a far time) or ignores
// (the current time), and only under Wine.
#include "clock/clock_setter.h"
#include "clock/clock_setting_seam.h"
#include "clock/message_box_seam.h"
#include "clock/pc_clock_seam.h"
#include "time_support.h"
#include "tw/bstr.h"
#include "tw/handles.h"
#include "zym.h"
#include "zymdate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace zymdate::test;

std::string errorText(DWORD error) {
    return tw::takeBstr(GETLASTERRORDESCRIPTION(static_cast<int32_t>(error), 0));
}

// ---------------------------------------------------------------------------
// Fakes for the white-box setter

struct FakePlatform {
    std::vector<SYSTEMTIME> localReadings; // handed out in turn, the last one repeated
    size_t readingsTaken = 0;
    BOOL setResult = TRUE;
    DWORD setError = 0;
    std::vector<SYSTEMTIME> timesSet;
    BOOL privilegeResult = TRUE;
    struct Box {
        HWND owner;
        std::string text, caption;
        UINT style;
    };
    std::vector<Box> boxes;
};
FakePlatform* gFake = nullptr;

void WINAPI fakeLocalTime(LPSYSTEMTIME st) {
    const size_t i = std::min(gFake->readingsTaken++, gFake->localReadings.size() - 1);
    *st = gFake->localReadings[i];
}
BOOL WINAPI fakeSetSystemTime(const SYSTEMTIME* st) {
    gFake->timesSet.push_back(*st);
    if (!gFake->setResult)
        ::SetLastError(gFake->setError);
    return gFake->setResult;
}
int WINAPI fakeMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    gFake->boxes.push_back({owner, text, caption, style});
    return IDOK;
}
BOOL WINAPI fakePrivilege() {
    return gFake->privilegeResult;
}
void WINAPI unexpectedSystemTime(LPSYSTEMTIME st) {
    ADD_FAILURE() << "the setter has no reason to read UTC";
    ::GetSystemTime(st);
}

class FakeClockSetter {
  public:
    explicit FakeClockSetter(FakePlatform& fake)
        : clock_({unexpectedSystemTime, fakeLocalTime, ::timeGetTime,
                  zymdate::detail::preciseClockUnits, zymdate::detail::counterClockUnits}),
          setting_({fakePrivilege, fakeSetSystemTime}), boxes_({fakeMessageBox}) {
        gFake = &fake;
    }
    ~FakeClockSetter() { gFake = nullptr; }

  private:
    tw::ScopedSeam<zymdate::PcClockSeam> clock_;
    tw::ScopedSeam<zymdate::ClockSettingSeam> setting_;
    tw::ScopedSeam<zymdate::MessageBoxSeam> boxes_;
};

TEST(ClockSetter, SuccessfulSetWordsTheChangeOfLocalTime) {
    struct Case {
        const char* name;
        SYSTEMTIME before, after;
        const char* text;
        int32_t flagAfter;
    };
    const Case cases[] = {
        {"forward over a minute boundary", civilTime(2026, 5, 4, 10, 59, 58, 700),
         civilTime(2026, 5, 4, 11, 0, 3, 100), "  5 Seconds", 0},
        {"forward over a year end", civilTime(2003, 12, 31, 23, 59, 59),
         civilTime(2004, 1, 1, 0, 0, 1), "  2 Seconds", 0},
        {"back by an hour", civilTime(2026, 5, 4, 12, 0, 0), civilTime(2026, 5, 4, 11, 0, 0),
         "  1 Hour", 0},
        {"milliseconds only", civilTime(2026, 5, 4, 12, 0, 0, 10),
         civilTime(2026, 5, 4, 12, 0, 0, 990), "PC Clock Matches", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform fake;
        fake.localReadings = {c.before, c.after};
        FakeClockSetter setter(fake);
        SYSTEMTIME time = civilTime(2026, 5, 4, 11, 0, 3, 500);
        const SYSTEMTIME asPassed = time;
        int32_t flag = 0;
        EXPECT_EQ(zymdate::setPcTime(time, flag), c.text);
        EXPECT_EQ(flag, c.flagAfter);
        ASSERT_EQ(fake.timesSet.size(), 1u);
        EXPECT_TRUE(sameRecord(fake.timesSet[0], asPassed)) << describe(fake.timesSet[0]);
        EXPECT_EQ(fake.readingsTaken, 2u) << "local time is read before and after the set";
        EXPECT_TRUE(fake.boxes.empty());
    }
}

TEST(ClockSetter, RecordIsFiftyMillisecondsEarlierAfterASetWithBorrows) {
    struct Case {
        SYSTEMTIME in, out;
    };
    const Case cases[] = {
        {civilTime(2026, 5, 4, 12, 0, 1, 20), civilTime(2026, 5, 4, 12, 0, 0, 970)},
        {civilTime(2026, 5, 4, 12, 0, 1, 500), civilTime(2026, 5, 4, 12, 0, 1, 450)},
        {civilTime(2026, 5, 4, 12, 0, 0, 50), civilTime(2026, 5, 4, 12, 0, 0, 0)},
        {civilTime(2027, 1, 1, 0, 0, 0, 10), civilTime(2026, 12, 31, 23, 59, 59, 960)},
        {civilTime(2024, 3, 1, 0, 0, 0, 0), civilTime(2024, 2, 29, 23, 59, 59, 950)},
    };
    for (const Case& c : cases) {
        FakePlatform fake;
        fake.localReadings = {civilTime(2026, 5, 4, 12, 0, 0)};
        FakeClockSetter setter(fake);
        SYSTEMTIME time = c.in;
        int32_t flag = 0;
        zymdate::setPcTime(time, flag);
        EXPECT_TRUE(sameRecord(time, c.out)) << describe(c.in) << " became " << describe(time);
    }
}

TEST(ClockSetter, FailedSetGivesTheErrorDescriptionAndTouchesNothing) {
    for (const DWORD error : {DWORD{ERROR_PRIVILEGE_NOT_HELD}, DWORD{ERROR_ACCESS_DENIED},
                              DWORD{ERROR_INVALID_PARAMETER}}) {
        FakePlatform fake;
        fake.localReadings = {civilTime(2026, 5, 4, 12, 0, 0)};
        fake.setResult = FALSE;
        fake.setError = error;
        FakeClockSetter setter(fake);
        SYSTEMTIME time = civilTime(2026, 5, 4, 12, 0, 1, 20);
        const SYSTEMTIME original = time;
        int32_t flag = 0;
        const std::string text = zymdate::setPcTime(time, flag);
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(text, errorText(error));
        EXPECT_EQ(flag, 0);
        EXPECT_TRUE(sameRecord(time, original));
    }
}

TEST(ClockSetter, RefusedPrivilegeShowsAccessDeniedAndLeavesTheClockAlone) {
    FakePlatform fake;
    fake.localReadings = {civilTime(2026, 5, 4, 12, 0, 0)};
    fake.privilegeResult = FALSE;
    FakeClockSetter setter(fake);
    SYSTEMTIME time = civilTime(2026, 5, 4, 12, 0, 1, 20);
    const SYSTEMTIME original = time;
    int32_t flag = 0;
    EXPECT_EQ(zymdate::setPcTime(time, flag), "");
    EXPECT_TRUE(fake.timesSet.empty()) << "the clock must not be set";
    EXPECT_EQ(flag, 0);
    EXPECT_TRUE(sameRecord(time, original));
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].owner, nullptr);
    EXPECT_EQ(fake.boxes[0].caption, "Access Denied");
    EXPECT_EQ(fake.boxes[0].text, "Your account does not have sufficient privileges to adjust "
                                  "system time properties\r\nplease see your system administrator");
    EXPECT_EQ(fake.boxes[0].style, 16u) << "MB_OK with the stop icon";
}

// A hidden top-level window of its own class: the time-change broadcast reaches it.
HWND hiddenTopLevelWindow(const char* className, WNDPROC procedure) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    ::RegisterClassA(&windowClass);
    return ::CreateWindowExA(0, className, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             windowClass.hInstance, nullptr);
}

// A top-level window on its own thread that stops answering when the time-change
// notice reaches it, until released or for at most kStallMs.
class StallingWindow {
  public:
    static constexpr DWORD kStallMs = 20000;

    StallingWindow() : thread_([this] { run(); }) { ::WaitForSingleObject(ready_.get(), INFINITE); }
    ~StallingWindow() {
        release();
        if (window_)
            ::PostMessageA(window_, WM_CLOSE, 0, 0);
        thread_.join();
    }
    bool created() const { return window_ != nullptr; }
    bool noticed() const { return noticed_; }
    // True when the notice came and the window stalled until released.
    bool stalledUntilReleased() const {
        ::WaitForSingleObject(handled_.get(), kStallMs + 5000);
        return releasedBySignal_;
    }
    void release() { ::SetEvent(release_.get()); }

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<StallingWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message == WM_TIMECHANGE && self) {
            self->noticed_ = true;
            self->releasedBySignal_ =
                ::WaitForSingleObject(self->release_.get(), kStallMs) == WAIT_OBJECT_0;
            ::SetEvent(self->handled_.get());
            return 0;
        }
        if (message == WM_DESTROY)
            ::PostQuitMessage(0);
        return ::DefWindowProcA(window, message, wParam, lParam);
    }

    void run() {
        window_ = hiddenTopLevelWindow("TickwellStallingWindow", procedure);
        if (window_)
            ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        ::SetEvent(ready_.get());
        MSG message;
        while (window_ && ::GetMessageA(&message, nullptr, 0, 0) > 0)
            ::DispatchMessageA(&message);
    }

    tw::unique_handle ready_{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    tw::unique_handle release_{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    tw::unique_handle handled_{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    HWND window_ = nullptr;
    std::atomic<bool> noticed_{false};
    std::atomic<bool> releasedBySignal_{false};
    std::thread thread_;
};

StallingWindow* gStalling = nullptr;
std::vector<bool> gNoticedAtSteps; // at each local reading and at the set, in turn

BOOL WINAPI setNotingTheNotice(const SYSTEMTIME* st) {
    gNoticedAtSteps.push_back(gStalling->noticed());
    return fakeSetSystemTime(st);
}

void WINAPI readLocalNotingTheNotice(LPSYSTEMTIME st) {
    gNoticedAtSteps.push_back(gStalling->noticed());
    fakeLocalTime(st);
}

// A window that stops answering the time-change notice cannot hold the set up,
// and the notice goes out only once both local readings are taken: a slow
// notice would otherwise count as a change of the clock.
TEST(ClockSetter, AStalledWindowCannotHoldUpTheSetNorBendItsReadings) {
    StallingWindow window;
    ASSERT_TRUE(window.created());
    FakePlatform fake;
    fake.localReadings = {civilTime(2026, 5, 4, 12, 0, 0), civilTime(2026, 5, 4, 12, 0, 5)};
    FakeClockSetter setter(fake);
    zymdate::ClockSettingSeam setting = zymdate::clockSetting();
    setting.setSystemTime = setNotingTheNotice;
    zymdate::PcClockSeam clock = zymdate::pcClock();
    clock.getLocalTime = readLocalNotingTheNotice;
    tw::ScopedSeam<zymdate::ClockSettingSeam> noticeAwareSet(setting);
    tw::ScopedSeam<zymdate::PcClockSeam> noticeAwareClock(clock);
    gStalling = &window;
    gNoticedAtSteps.clear();

    SYSTEMTIME time = civilTime(2026, 5, 4, 12, 0, 5, 500);
    int32_t flag = 0;
    const std::string text = zymdate::setPcTime(time, flag);
    window.release(); // only now: a set that waited for the window never got here
    gStalling = nullptr;

    EXPECT_EQ(text, "  5 Seconds");
    EXPECT_EQ(gNoticedAtSteps, (std::vector<bool>{false, false, false}))
        << "before reading, set, after reading: the notice went out before one of them";
    EXPECT_TRUE(window.stalledUntilReleased()) << "the set waited until the stalled window gave up";
}

// A hidden top-level window that records, at each time-change notice, how many
// times the fake setter had been called: windows that refresh on the notice
// must find the new time already set.
struct NoticeRecorder {
    NoticeRecorder() : window(hiddenTopLevelWindow("TickwellTimeChangeRecorder", procedure)) {}
    ~NoticeRecorder() {
        if (window)
            ::DestroyWindow(window);
    }
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_TIMECHANGE && gFake)
            setsAtNotice.push_back(gFake->timesSet.size());
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
    HWND window = nullptr;
    static inline std::vector<size_t> setsAtNotice;
};

TEST(ClockSetter, TimeChangeNoticeFollowsASuccessfulSetAndOnlyThat) {
    struct Case {
        const char* name;
        BOOL privilege, setResult;
        std::vector<size_t> setsAtNotice; // one entry per notice
    };
    const Case cases[] = {
        {"set succeeds: one notice, after the set", TRUE, TRUE, {1}},
        {"set fails: no notice", TRUE, FALSE, {}},
        {"privilege refused: no set, no notice", FALSE, TRUE, {}},
    };
    NoticeRecorder recorder;
    ASSERT_NE(recorder.window, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform fake;
        fake.localReadings = {civilTime(2026, 5, 4, 12, 0, 0), civilTime(2026, 5, 4, 12, 0, 5)};
        fake.privilegeResult = c.privilege;
        fake.setResult = c.setResult;
        fake.setError = ERROR_PRIVILEGE_NOT_HELD;
        FakeClockSetter setter(fake);
        NoticeRecorder::setsAtNotice.clear();
        SYSTEMTIME time = civilTime(2026, 5, 4, 12, 0, 5, 500);
        int32_t flag = 0;
        zymdate::setPcTime(time, flag);
        EXPECT_EQ(NoticeRecorder::setsAtNotice, c.setsAtNotice);
    }
}

// ---------------------------------------------------------------------------
// The real export under Wine (never moves the host clock)

class ClockSetterUnderWine : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!runningUnderWine())
            GTEST_SKIP() << "calls the real SetSystemTime: only under Wine";
    }
};

// The value the next new handle gets. Freed handle slots are reused, so the
// value climbs only while handles are left open. (Wine's
// GetProcessHandleCount is a stub, hence this probe.)
uintptr_t nextHandleValue() {
    HANDLE probe = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), ::GetCurrentProcess(), &probe,
                      0, FALSE, DUPLICATE_SAME_ACCESS);
    const auto value = reinterpret_cast<uintptr_t>(probe);
    ::CloseHandle(probe);
    return value;
}

TEST_F(ClockSetterUnderWine, PrivilegeIsEnabledWithoutLeakingTheToken) {
    // Wine grants the privilege; the refusal path is reached through the seam.
    EXPECT_NE(SETTIMEPRIVILEGE(), 0);
    const uintptr_t before = nextHandleValue();
    for (int i = 0; i < 20; ++i)
        SETTIMEPRIVILEGE();
    const uintptr_t after = nextHandleValue();
    // Handle values step by 4; twenty leaked tokens would move it by 80.
    EXPECT_LE(after, before + 4 * 4) << "token handles are left open";
}

TEST_F(ClockSetterUnderWine, FarTimeIsRefusedWithTheDescriptionOfError1314) {
    SYSTEMTIME time = civilTime(2001, 1, 1, 12, 0, 0, 20);
    const SYSTEMTIME original = time;
    int32_t flag = 0;
    tw::unique_bstr text(SETPCTIME(&time, &flag));
    EXPECT_EQ(tw::fromBstr(text.get()), errorText(ERROR_PRIVILEGE_NOT_HELD));
    EXPECT_FALSE(tw::fromBstr(text.get()).empty());
    EXPECT_EQ(flag, 0);
    EXPECT_TRUE(sameRecord(time, original)) << describe(time);

    tw::unique_bstr withoutFlag(SETPCTIME(&time, nullptr));
    EXPECT_EQ(tw::fromBstr(withoutFlag.get()), errorText(ERROR_PRIVILEGE_NOT_HELD));
    EXPECT_EQ(SETPCTIME(nullptr, &flag), nullptr) << "no time, nothing to set";
    EXPECT_EQ(flag, 0);
}

// Wine accepts, without effect, a set within half a second of its clock. A
// target a little ahead of now stays acceptable longest: the time SETPCTIME
// spends before its set only brings it closer. A refusal means this machine
// was too slow to reach the set in time, so it is retried, not failed.
struct NearNowSet {
    SYSTEMTIME target{}; // as passed
    SYSTEMTIME record{}; // as SETPCTIME left it
    std::string text;
    int32_t flag = 0;
};

int64_t utcNowMs() {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    return millisecondsSince1970(now);
}

template <typename PickTarget> std::optional<NearNowSet> setNearNow(PickTarget pickTargetMs) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        NearNowSet set;
        set.target = systemTimeFromMilliseconds(pickTargetMs());
        set.record = set.target;
        tw::unique_bstr text(SETPCTIME(&set.record, &set.flag));
        set.text = tw::fromBstr(text.get());
        if (set.text != errorText(ERROR_PRIVILEGE_NOT_HELD))
            return set;
    }
    return std::nullopt;
}

// A second may begin between the two local readings, so a few attempts are allowed.
TEST_F(ClockSetterUnderWine, TimeNearNowMatchesAndTheRecordMovesBackFiftyMilliseconds) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        const auto set = setNearNow([] { return utcNowMs() + 200; });
        ASSERT_TRUE(set) << "Wine refused every time near now";
        EXPECT_TRUE(sameRecord(set->record,
                               systemTimeFromMilliseconds(millisecondsSince1970(set->target) - 50)))
            << describe(set->record);
        if (set->text == "  1 Second")
            continue; // the local clock ticked over between the readings
        EXPECT_EQ(set->text, "PC Clock Matches");
        EXPECT_EQ(set->flag, 1);
        return;
    }
    FAIL() << "no attempt stayed within one second";
}

// 20 ms into the next second, waiting first until that is less than half a second away.
int64_t nextSecondPlus20Ms() {
    for (;;) {
        const int64_t now = utcNowMs();
        const int64_t target = (now / 1000 + 1) * 1000 + 20;
        if (target - now < 480)
            return target;
        ::Sleep(static_cast<DWORD>(target - now - 440));
    }
}

TEST_F(ClockSetterUnderWine, SetJustAfterASecondBeginsBorrowsFromTheSeconds) {
    const auto set = setNearNow(nextSecondPlus20Ms);
    ASSERT_TRUE(set) << "Wine refused every time near now";
    ASSERT_EQ(set->target.wMilliseconds, 20);
    const SYSTEMTIME expected = systemTimeFromMilliseconds(millisecondsSince1970(set->target) - 50);
    EXPECT_TRUE(sameRecord(set->record, expected))
        << describe(set->record) << " expected " << describe(expected);
    EXPECT_EQ(set->record.wMilliseconds, 970);
}

} // namespace
