// The main window on a thread of its own, as the program runs it, driven from
// here with the messages a user's clicks and the clock send; the platform
// seams stand in for the shell, the notification area and the query's thread.
#include "demo_line.h"
#include "history_file.h"
#include "identity.h"
#include "library_calls.h"
#include "main_menus.h"
#include "main_window.h"
#include "program_ids.h"
#include "program_seams.h"
#include "scripted_server.h"
#include "tw/filetime.h"
#include "tw/handles.h"
#include "tw/temp_folder.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

namespace tickwell {
namespace {

Settings quietSettings() {
    Settings s;
    s.logEvents = false;
    s.useSounds = false;
    s.runInSystemTray = false;
    s.currentServer = "127.0.0.1";
    return s;
}

// Runs the window until Exit; found on its own thread, as a program test may
// show a window of the same title.
class WindowOnThread {
  public:
    explicit WindowOnThread(Settings& s, bool startHidden = false)
        : ui_([this, &s, startHidden] {
              uiThread_ = ::GetCurrentThreadId();
              MainWindow(::GetModuleHandleA(nullptr), s, startHidden).run();
          }) {
        for (int i = 0; i < 200 && window_ == nullptr; ++i) {
            ::Sleep(20);
            ::EnumThreadWindows(
                uiThread_,
                [](HWND w, LPARAM found) -> BOOL {
                    if (::GetDlgItem(w, IDC_STATUSBAR) != nullptr)
                        *reinterpret_cast<HWND*>(found) = w;
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&window_));
        }
    }
    ~WindowOnThread() {
        if (window_ != nullptr)
            ::PostMessageA(window_, WM_COMMAND, CMD_EXIT, 0);
        ui_.join();
    }
    WindowOnThread(const WindowOnThread&) = delete;
    WindowOnThread& operator=(const WindowOnThread&) = delete;

    HWND window() const { return window_; }
    void command(int id) const { ::SendMessageA(window_, WM_COMMAND, id, 0); }
    void tick() const { ::SendMessageA(window_, WM_TIMER, IDT_CLOCK, 0); }
    std::string text(int id) const {
        char text[512] = {};
        ::GetDlgItemTextA(window_, id, text, sizeof text);
        return text;
    }

  private:
    std::atomic<DWORD> uiThread_{0};
    HWND window_ = nullptr;
    std::thread ui_;
};

int dpi = 96;
int fakeDpi() {
    return dpi;
}

TEST(MainWindow, ValueFontHeightFollowsTheScreenDpi) {
    tw::ScopedSeam<ScreenSeam> scope({fakeDpi});
    for (const auto& [screenDpi, pixels] : {std::pair{96, 10}, std::pair{120, 13}}) {
        dpi = screenDpi;
        tw::unique_hfont font(MakeFont("Arial", 8));
        LOGFONTA face{};
        ASSERT_NE(::GetObjectA(font.get(), sizeof(face), &face), 0);
        EXPECT_EQ(face.lfHeight, -pixels) << screenDpi << " dpi";
        EXPECT_STREQ(face.lfFaceName, "Arial");
    }
}

TEST(MainWindow, ValuesStandOnBlackInTheirColours) {
    Settings s = quietSettings();
    WindowOnThread ui(s);
    const HWND window = ui.window();
    ASSERT_NE(window, nullptr);

    HDC dc = ::CreateCompatibleDC(nullptr);
    const struct {
        int id;
        COLORREF text;
    } values[] = {{IDC_SERVER_TIME, RGB(0, 255, 0)},
                  {IDC_PC_TIME, RGB(255, 255, 0)},
                  {IDC_DIFFERENCE, RGB(255, 0, 0)}}; // no match yet
    for (const auto& v : values) {
        ::SetTextColor(dc, RGB(1, 2, 3));
        const auto brush = reinterpret_cast<HBRUSH>(
            ::SendMessageA(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(::GetDlgItem(window, v.id))));
        LOGBRUSH face{};
        ASSERT_NE(::GetObjectA(brush, sizeof(face), &face), 0) << v.id;
        EXPECT_EQ(face.lbColor, RGB(0, 0, 0)) << v.id;
        EXPECT_EQ(::GetTextColor(dc), v.text) << v.id;
    }
    // A caption keeps the dialog's own colours.
    const auto captionBrush = reinterpret_cast<HBRUSH>(
        ::SendMessageA(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                       reinterpret_cast<LPARAM>(::GetDlgItem(window, IDC_SERVER_CAPTION))));
    LOGBRUSH captionFace{};
    ::GetObjectA(captionBrush, sizeof(captionFace), &captionFace);
    EXPECT_NE(captionFace.lbColor, RGB(0, 0, 0));
    ::DeleteDC(dc);
}

// The status bar's tip: what the window's tool tips say for the bar.
std::string statusTip(HWND window) {
    HWND tips = nullptr;
    ::EnumThreadWindows(
        ::GetWindowThreadProcessId(window, nullptr),
        [](HWND w, LPARAM found) -> BOOL {
            char name[32] = {};
            ::GetClassNameA(w, name, sizeof name);
            if (std::string(name) == TOOLTIPS_CLASSA)
                *reinterpret_cast<HWND*>(found) = w;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tips));
    char text[512] = {};
    TTTOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(::GetDlgItem(window, IDC_STATUSBAR));
    tool.lpszText = text;
    ::SendMessageA(tips, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
    return text;
}

HANDLE noThread(unsigned(__stdcall*)(void*), void*) {
    return nullptr;
}

// A query whose thread cannot start is a failure the window shows, and the one
// query slot is free again: the next Check is not ignored as "busy" (it waits
// for the server's courtesy time, which it says). The failure is too long for
// the status bar and shows whole in its tip; the shorter text after it has none.
TEST(MainWindow, QueryThatCannotStartIsShownAndFreesTheSlot) {
    tw::ScopedSeam<ThreadSeam> threadScope({noThread});
    Settings s = quietSettings();
    WindowOnThread ui(s);
    ASSERT_NE(ui.window(), nullptr);
    ui.command(CMD_CHECK);
    const std::string failure =
        "The time query could not be started: the system is out of resources";
    EXPECT_EQ(ui.text(IDC_SERVER_TIME), failure);
    EXPECT_EQ(statusTip(ui.window()), failure);
    ui.command(CMD_CHECK);
    EXPECT_EQ(ui.text(IDC_STATUSBAR).rfind("Waiting until ", 0), 0u) << ui.text(IDC_STATUSBAR);
    EXPECT_EQ(statusTip(ui.window()), "") << ui.text(IDC_STATUSBAR);
}



// The notification area: refused a number of times (as before the taskbar
// exists at a logon), then taken.
std::atomic<int> addsRefused{0};
std::atomic<int> addsTried{0};
std::atomic<int> addsTaken{0};
BOOL WINAPI lateTaskbar(DWORD message, PNOTIFYICONDATAA) {
    if (message != NIM_ADD)
        return TRUE;
    ++addsTried;
    if (addsRefused > 0) {
        --addsRefused;
        return FALSE;
    }
    ++addsTaken;
    return TRUE;
}

TEST(MainWindow, TrayIconRefusedAtStartIsAddedAtALaterTick) {
    tw::ScopedSeam<TraySeam> trayScope({lateTaskbar});
    addsRefused = 3;
    addsTried = 0;
    addsTaken = 0;
    Settings s = quietSettings();
    s.runInSystemTray = true;
    WindowOnThread ui(s, true);
    ASSERT_NE(ui.window(), nullptr);
    for (int i = 0; i < 5; ++i)
        ui.tick();
    EXPECT_EQ(addsTaken.load(), 1);
    EXPECT_GE(addsTried.load(), 4);
    EXPECT_FALSE(::IsWindowVisible(ui.window())) << "started hidden, its icon now there";
}

TEST(MainWindow, WindowWithoutATrayIconIsNeverLeftHidden) {
    tw::ScopedSeam<TraySeam> trayScope({lateTaskbar});
    addsRefused = 1'000'000;
    Settings s = quietSettings();
    s.runInSystemTray = true;
    {
        // Started hidden: it comes back once the grace time has passed.
        WindowOnThread ui(s, true);
        ASSERT_NE(ui.window(), nullptr);
        EXPECT_FALSE(::IsWindowVisible(ui.window()));
        for (int i = 0; i < kTrayGraceTicks; ++i)
            ui.tick();
        EXPECT_TRUE(::IsWindowVisible(ui.window()));
    }
    {
        // Closed to the tray with no tray: it stays on screen (minimised).
        WindowOnThread ui(s);
        ASSERT_NE(ui.window(), nullptr);
        ::SendMessageA(ui.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(::IsWindowVisible(ui.window()));
    }
}

HINSTANCE WINAPI throwingShell(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT) {
    throw std::runtime_error("the shell is gone");
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A handler that throws is logged and the program keeps running. Alone in its
// process: the program's log is opened once per run.
TEST(SerialMainWindowFault, FaultInAHandlerIsLoggedAndTheWindowCarriesOn) {
    tw::ScopedSeam<ShellOpenSeam> shellScope({throwingShell});
    const std::string log = lib::appPath() + "tickwell.log";
    ::DeleteFileA(log.c_str());
    Settings s = quietSettings();
    WindowOnThread ui(s);
    ASSERT_NE(ui.window(), nullptr);
    ui.command(CMD_UPDATES);
    ui.command(CMD_UPDATES);
    ASSERT_TRUE(::IsWindow(ui.window()));
    ui.tick();
    EXPECT_TRUE(::IsWindowVisible(ui.window()));
    const std::string logged = fileText(log);
    const std::string entry = "Internal error: the shell is gone";
    EXPECT_NE(logged.find(entry), std::string::npos) << logged;
    EXPECT_EQ(logged.find(entry), logged.rfind(entry)) << "a repeated fault is logged once";
}


// A week and more of daily sets against a server, with a PC clock that gains
// kScriptedDrift seconds a day between them: each set lands in the history,
// the History window (from the View menu, which the tray menu holds too)
// shows the drift the checks tell, and its suggestion becomes the interval.
// The PC clock and the tick count are the test's, moved on a day per set; the
// clock set moves the test's clock, never the machine's.
std::atomic<int64_t> gPcShiftMs{0};
std::atomic<int> gServerAheadSeconds{0};
void WINAPI shiftedLocalTime(LPSYSTEMTIME time) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    tw::unitsToSystemTime(tw::systemTimeToUnits(now) + gPcShiftMs.load() * tw::kUnitsPerMillisecond,
                          *time);
}
ULONGLONG WINAPI shiftedTicks() {
    return ::GetTickCount64() + static_cast<ULONGLONG>(gPcShiftMs.load());
}
std::string setShiftedClock(SYSTEMTIME& utc, int32_t& matchFlag) {
    SYSTEMTIME realUtc{};
    ::GetSystemTime(&realUtc);
    gPcShiftMs = (tw::systemTimeToUnits(utc) - tw::systemTimeToUnits(realUtc)) /
                 tw::kUnitsPerMillisecond;
    matchFlag = 0;
    return "PC Clock was set";
}
service::ClientAnswer noService(const service::Request&, uint32_t) {
    service::ClientAnswer answer;
    answer.serviceAbsent = true;
    return answer;
}
int WINAPI noBox(HWND, LPCSTR, LPCSTR, UINT) {
    return IDOK;
}

HWND historyWindowOf(DWORD thread) {
    HWND found = nullptr;
    for (int i = 0; i < 100 && found == nullptr; ++i) {
        ::EnumThreadWindows(
            thread,
            [](HWND w, LPARAM out) -> BOOL {
                char title[64] = {};
                ::GetWindowTextA(w, title, sizeof title);
                if (std::string(title) == "Tickwell - History")
                    *reinterpret_cast<HWND*>(out) = w;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        if (found == nullptr)
            ::Sleep(20);
    }
    return found;
}

TEST(SerialHistoryWindow, DailySetsShowTheScriptedDriftAndItsSuggestionApplies) {
    constexpr double kScriptedDrift = 40.0; // seconds a day the PC clock gains
    constexpr int64_t kDayMs = 86'400'000;
    constexpr int kSets = 9;
    const std::string historyPath = lib::appPath() + kHistoryFileName;
    ::DeleteFileA(historyPath.c_str());
    // Nine days ago, so that the sets end a day before now.
    gPcShiftMs = -kSets * kDayMs;
    gServerAheadSeconds = -kSets * 86'400;
    tw::ScopedSeam<LocalClockSeam> clock({shiftedLocalTime, shiftedTicks});
    tw::ScopedSeam<ClockSetterSeam> setter({setShiftedClock});
    tw::ScopedSeam<TimeServiceSeam> service({noService});
    tw::ScopedSeam<MessageBoxSeam> boxes({noBox});
    using namespace tw::testserver;
    ScriptedServer server({sendFn([] { return tw::demo::daytimeLine(gServerAheadSeconds); })});
    ASSERT_TRUE(server.listening());

    tw::testing::TempFolder folder;
    Settings s = quietSettings();
    s.iniPath = folder.file("Tickwell.ini");
    s.logEvents = true;
    s.timePort = server.port();
    s.networkTimeout = 5;
    s.maximumAutomaticChange = 0;
    s.autoSetTime = false;
    {
        WindowOnThread ui(s);
        ASSERT_NE(ui.window(), nullptr);
        HistoryFile file(historyPath);
        for (int day = 0; day < kSets; ++day) {
            ui.command(CMD_SET);
            for (int i = 0; i < 500 && file.read().size() < static_cast<size_t>(day + 1); ++i)
                ::Sleep(20);
            ASSERT_EQ(file.read().size(), static_cast<size_t>(day + 1)) << "set " << day;
            // A day on the server, and a day and the drift on the PC.
            gServerAheadSeconds += 86'400;
            gPcShiftMs += kDayMs + static_cast<int64_t>(kScriptedDrift * 1000);
        }
        const std::vector<history::Record> records = file.read();
        for (const history::Record& r : records) {
            EXPECT_EQ(r.kind, history::Kind::Set);
            EXPECT_EQ(r.result, history::Result::Ok);
            EXPECT_EQ(r.protocol, "Daytime");
            EXPECT_TRUE(r.clockSet);
        }
        EXPECT_NEAR(static_cast<double>(*records.back().differenceMs), kScriptedDrift * 1000, 1500);

        HMENU bar = buildMenuBar(true), tray = buildTrayMenu(true);
        EXPECT_NE(::GetMenuState(bar, CMD_HISTORY, MF_BYCOMMAND), static_cast<UINT>(-1));
        EXPECT_NE(::GetMenuState(tray, CMD_HISTORY, MF_BYCOMMAND), static_cast<UINT>(-1));
        ::DestroyMenu(bar);
        ::DestroyMenu(tray);

        ui.command(CMD_HISTORY);
        HWND history = historyWindowOf(::GetWindowThreadProcessId(ui.window(), nullptr));
        ASSERT_NE(history, nullptr);
        char text[256] = {};
        ::GetDlgItemTextA(history, IDC_HISTORY_DRIFT, text, sizeof text);
        const std::string drift = text;
        ASSERT_EQ(drift.rfind("Drift: ", 0), 0u) << drift;
        EXPECT_NEAR(std::strtod(drift.c_str() + 7, nullptr), kScriptedDrift, kScriptedDrift * 0.1)
            << drift;
        EXPECT_NE(drift.find("from 8 intervals"), std::string::npos) << drift;
        ::GetDlgItemTextA(history, IDC_HISTORY_COUNTS, text, sizeof text);
        EXPECT_EQ(std::string(text), "Checks: 9, failed: 0");
        // 1 s at 40 s a day: every 36 minutes; the General page's half hour keeps within it.
        ::GetDlgItemTextA(history, IDC_HISTORY_SUGGESTION, text, sizeof text);
        EXPECT_EQ(std::string(text).rfind("To stay within 1 s, check every 3", 0), 0u) << text;
        ::SendMessageA(history, WM_COMMAND, MAKEWPARAM(IDC_HISTORY_APPLY, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(history, IDC_HISTORY_APPLY)));
        // A new check while it is open shows at once.
        ui.command(CMD_CHECK);
        for (int i = 0; i < 500 && file.read().size() < kSets + 1; ++i)
            ::Sleep(20);
        ::Sleep(100);
        ::GetDlgItemTextA(history, IDC_HISTORY_COUNTS, text, sizeof text);
        EXPECT_EQ(std::string(text), "Checks: 10, failed: 0");
    }
    EXPECT_TRUE(s.autoSetTime);
    EXPECT_EQ(s.interval, 30);
    // Kept for the guide's picture of the window (scripts/screenshots).
    ::MoveFileExA(historyPath.c_str(), (lib::appPath() + "history-week.csv").c_str(),
                  MOVEFILE_REPLACE_EXISTING);
}

// The service's own sets, as its STATUS tells the last one, are kept once as
// automatic sets, and a time change one of them explains is no one else's; a
// change nothing explains is kept as such.
std::optional<service::Reply> gStatus;
service::ClientAnswer statusOnly(const service::Request& request, uint32_t) {
    service::ClientAnswer answer;
    if (request.verb != service::Verb::Status || !gStatus)
        answer.serviceAbsent = true;
    else
        answer.reply = gStatus;
    return answer;
}

TEST(SerialHistoryWindow, TheServicesSetsAndOtherClockChangesAreKept) {
    const std::string historyPath = lib::appPath() + kHistoryFileName;
    ::DeleteFileA(historyPath.c_str());
    tw::ScopedSeam<TimeServiceSeam> service({statusOnly});
    service::Reply status;
    status.result = service::Reply::Result::Ok;
    status.server = "ntp.corp.example";
    status.delayMs = 7.4;
    status.changeMs = 1200.0;
    status.clockSet = true;
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    status.scheduledAt = now;
    gStatus = status;
    tw::testing::TempFolder folder;
    Settings s = quietSettings();
    s.iniPath = folder.file("Tickwell.ini");
    s.logEvents = true;
    WindowOnThread ui(s);
    ASSERT_NE(ui.window(), nullptr);
    HistoryFile file(historyPath);
    ::SendMessageA(ui.window(), WM_TIMECHANGE, 0, 0);
    ::SendMessageA(ui.window(), WM_TIMECHANGE, 0, 0);
    std::vector<history::Record> kept = file.read();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0], (history::Record{utcMsOf(now), history::Kind::AutoSet, "ntp.corp.example",
                                        "", history::Result::Ok, -1200, 7, std::nullopt, true}));
    gStatus.reset(); // no service: nobody Tickwell knows changed the clock
    ::SendMessageA(ui.window(), WM_TIMECHANGE, 0, 0);
    kept = file.read();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[1].kind, history::Kind::ClockChanged);
    ::DeleteFileA(historyPath.c_str());
}

} // namespace
} // namespace tickwell
