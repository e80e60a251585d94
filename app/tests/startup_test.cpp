// Start-up decisions and the value font, with the platform seams replaced.
#include "identity.h"
#include "main_window.h"
#include "program_ids.h"
#include "program_seams.h"
#include "startup.h"
#include "system_versions.h"
#include "tw/handles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <atomic>
#include <string>
#include <thread>

namespace tickwell {
namespace {

TEST(Startup, MinimizeSwitchIsTheOneWordInAnyCaseWithBlanksAround) {
    const struct {
        const char* arguments;
        bool minimize;
    } cases[] = {
        {"-minimize", true},   {"  -MINIMIZE  ", true},  {"-Minimize", true},
        {"", false},           {"-minimize now", false}, {"minimize", false},
        {"-minimized", false}, {"\t-minimize", false}, // only blanks are trimmed
    };
    for (const auto& c : cases)
        EXPECT_EQ(isMinimizeSwitch(c.arguments), c.minimize) << "\"" << c.arguments << "\"";
}

TEST(Startup, SystemFileVersionsAreMajorPlusMinorHundredths) {
    const double comctl = getSysFileVer("COMCTL32.DLL");
    EXPECT_GE(comctl, 4.71);
    // Two decimals at most: minor / 100.
    EXPECT_DOUBLE_EQ(comctl * 100, std::round(comctl * 100));
    EXPECT_EQ(initComCtl32(0), comctl);
    EXPECT_EQ(getSysFileVer("no-such-file.dll"), 0);
}

struct MessageBoxCall {
    std::string text, caption;
    UINT style = 0;
    int count = 0;
};
MessageBoxCall lastBox;
double fakeVersion = 0;

int WINAPI recordBox(HWND, LPCSTR text, LPCSTR caption, UINT style) {
    lastBox = {text, caption, style, lastBox.count + 1};
    return IDOK;
}
double fakeCommonControls(int32_t) {
    return fakeVersion;
}

// Not the program's own name: a real copy may run beside this test.
constexpr char kTestInstance[] = "TICKWELL-STARTUP-TEST";

TEST(Startup, CommonControlsGateOpensAtVersion471AndAnotherCopyStopsTheStart) {
    tw::ScopedSeam<MessageBoxSeam> boxes({recordBox});
    tw::ScopedSeam<CommonControlsSeam> controls({fakeCommonControls});

    // 4.70 is too old: the message names the control class and the program ends.
    lastBox = {};
    fakeVersion = 4 + 70 / 100.0;
    EXPECT_FALSE(startupGatesPass(kTestInstance));
    EXPECT_EQ(lastBox.caption, "SysIPAddress32 Error");
    EXPECT_EQ(
        lastBox.text.rfind("Sorry, this program needs a later version of COMCTL32.DLL.\r\n", 0),
        0u);
    EXPECT_EQ(lastBox.style, static_cast<UINT>(MB_ICONEXCLAMATION | MB_SYSTEMMODAL));

    // 4.71, computed as the export computes it, passes; no other copy runs.
    lastBox = {};
    fakeVersion = 4 + 71 / 100.0;
    EXPECT_TRUE(startupGatesPass(kTestInstance));
    EXPECT_EQ(lastBox.count, 0);

    // With the instance mutex held elsewhere, the start is refused.
    tw::unique_handle other(::CreateMutexA(nullptr, FALSE, kTestInstance));
    EXPECT_FALSE(startupGatesPass(kTestInstance));
    EXPECT_EQ(lastBox.caption, "Tickwell");
    EXPECT_EQ(lastBox.text, "Another instance of Tickwell is already running!");
    EXPECT_EQ(lastBox.style, static_cast<UINT>(MB_ICONHAND));
}

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

// The window on a thread of its own, as the program runs it, driven from here.
TEST(MainWindow, ValuesStandOnBlackInTheirColours) {
    Settings s;
    s.logEvents = 0;
    s.runInSystemTray = 0;
    std::atomic<DWORD> uiThread{0};
    std::thread ui([&s, &uiThread] {
        uiThread = ::GetCurrentThreadId();
        MainWindow(::GetModuleHandleA(nullptr), s, false).run();
    });
    // Looked up on its own thread: a program test may show a window of this title.
    HWND window = nullptr;
    for (int i = 0; i < 200 && window == nullptr; ++i) {
        ::EnumThreadWindows(
            uiThread,
            [](HWND w, LPARAM found) -> BOOL {
                if (::GetDlgItem(w, IDC_STATUSBAR) != nullptr)
                    *reinterpret_cast<HWND*>(found) = w;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&window));
        ::Sleep(20);
    }
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

    ::PostMessageA(window, WM_COMMAND, CMD_EXIT, 0);
    ui.join();
}

} // namespace
} // namespace tickwell
