// The main window on a thread of its own, as the program runs it, driven from
// here with the messages a user's clicks and the clock send; the platform
// seams stand in for the shell, the notification area and the query's thread.
#include "identity.h"
#include "library_calls.h"
#include "main_window.h"
#include "program_ids.h"
#include "program_seams.h"
#include "tw/handles.h"
#include "tw/temp_folder.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <fstream>
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

} // namespace
} // namespace tickwell
