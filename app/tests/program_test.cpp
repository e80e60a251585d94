// The real tickwell.exe, started from a folder of its own against a scripted
// server on 127.0.0.1, driven by the messages a user's clicks send and read back
// from its controls, its settings file and its log.
#include "program_harness.h"

namespace {

using namespace tickwell::program_testing;

TEST(Program, ChecksSetsAndShutsDownAgainstALoopbackServer) {
    SwitchableServer server;
    Installation installation(server);
    Running program(installation, "");
    ASSERT_TRUE(program.started());
    HWND window = program.window();
    ASSERT_NE(window, nullptr) << "the main window did not appear";

    // Start-up: the credit line rests in the status bar, the PC time ticks.
    ASSERT_TRUE(waitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 2s));
    HWND statusBar = ::GetDlgItem(window, IDC_STATUSBAR);
    EXPECT_EQ(windowText(statusBar), kCreditLine);
    EXPECT_EQ(text(window, IDC_SERVER_TIME), "");
    EXPECT_EQ(text(window, IDC_DIFFERENCE), "00:00");
    const std::string firstPcTime = text(window, IDC_PC_TIME);
    EXPECT_THAT(firstPcTime, HasSubstr(" - "));
    EXPECT_TRUE(waitFor([&] { return text(window, IDC_PC_TIME) != firstPcTime; }, 3s));
    EXPECT_THAT(installation.log(), HasSubstr(std::string(75, '-') + "\r\n"));
    EXPECT_THAT(installation.log(), EndsWith(" Tickwell started\r\n"));

    // The difference a Check or Set shows. One that should match is asked again
    // (three times at most) when a busy machine let the exchange cross into the
    // next second, or past the half second within which Wine accepts a set.
    const auto difference = [&](int id, bool shouldMatch) {
        std::string shown;
        for (int attempt = 0; attempt < 3; ++attempt) {
            ::SetDlgItemTextA(window, IDC_DIFFERENCE, "");
            command(window, id);
            if (!waitFor([&] { return !text(window, IDC_DIFFERENCE).empty(); }, 10s))
                return std::string("<no answer>");
            shown = text(window, IDC_DIFFERENCE);
            if (!shouldMatch || shown == "PC Clock Matches")
                break;
        }
        return shown;
    };

    // Check with the server's note on the first query only; the clocks agree.
    EXPECT_EQ(difference(CMD_CHECK, true), "PC Clock Matches");
    EXPECT_FALSE(text(window, IDC_SERVER_TIME).empty());
    EXPECT_EQ(windowText(statusBar), kCreditLine);
    EXPECT_THAT(installation.log(), HasSubstr("UTC(NIST) *"));

    // Set to a time 90 seconds ahead: Wine refuses to move the clock, and says why.
    server.mode = Serve::Ahead90;
    EXPECT_THAT(difference(CMD_SET, false), HasSubstr("rivilege"));

    // Set to the PC's own time changes nothing and says so.
    server.mode = Serve::Now;
    EXPECT_EQ(difference(CMD_SET, true), "PC Clock Matches");

    // A failed Check shows and logs the reason; the difference stays.
    server.mode = Serve::Nothing;
    command(window, CMD_CHECK);
    const std::string failure = "127.0.0.1 closed the connection without sending a time";
    ASSERT_TRUE(waitFor([&] { return text(window, IDC_SERVER_TIME) == failure; }, 10s));
    EXPECT_EQ(windowText(statusBar), failure);
    EXPECT_EQ(text(window, IDC_DIFFERENCE), "PC Clock Matches");
    EXPECT_THAT(installation.log(), EndsWith(failure + "\r\n"));

    // A silent server: the window answers at once throughout, the PC time goes
    // on ticking, and a second Check meanwhile starts no second query.
    server.mode = Serve::SilentThenNothing;
    const int servedBefore = server.served();
    command(window, CMD_CHECK);
    ASSERT_TRUE(waitFor(
        [&] { return windowText(statusBar).starts_with("Checking time at 127.0.0.1"); }, 5s));
    command(window, CMD_CHECK);
    const std::string pcTimeDuring = text(window, IDC_PC_TIME);
    bool alwaysAnswered = true;
    for (int i = 0; i < 40; ++i) {
        DWORD_PTR ignored = 0;
        if (!::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 100, &ignored))
            alwaysAnswered = false;
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(alwaysAnswered) << "the window stopped answering during a query";
    EXPECT_NE(text(window, IDC_PC_TIME), pcTimeDuring);
    ASSERT_TRUE(waitFor([&] { return windowText(statusBar) == failure; }, 10s));
    EXPECT_EQ(server.served(), servedBefore + 1);

    // The status bar off and on again leaves the window at its height.
    const int withBar = height(window);
    command(window, CMD_STATUSBAR_TOGGLE);
    ASSERT_TRUE(waitFor([&] { return !::IsWindowVisible(statusBar); }, 2s));
    EXPECT_LT(height(window), withBar);
    command(window, CMD_STATUSBAR_TOGGLE);
    ASSERT_TRUE(waitFor([&] { return ::IsWindowVisible(statusBar) != FALSE; }, 2s));
    EXPECT_EQ(height(window), withBar);

    // A change of the clock shows at once, not at the next tick.
    ::SetDlgItemTextA(window, IDC_PC_TIME, "");
    ::SendMessageA(window, WM_TIMECHANGE, 0, 0);
    EXPECT_NE(text(window, IDC_PC_TIME), "");

    // Exit while a query waits for a silent server: the window goes at once, the
    // three keys that change while running are written, the stop line is the
    // last, and the program does not wait for the server.
    for (const char* key : {"Show Status bar", "Tray Icon", "Time Next Checked"})
        ::WritePrivateProfileStringA("General", key, nullptr, installation.ini().c_str());
    ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, installation.ini().c_str());
    const size_t keysBefore = iniKeyCount(installation.ini(), "General");
    server.mode = Serve::SilentThenNothing;
    command(window, CMD_CHECK);
    ASSERT_TRUE(waitFor([&] { return windowText(statusBar).starts_with("Checking time at"); }, 5s));
    command(window, CMD_EXIT);
    ASSERT_TRUE(program.exited(2s)) << "exit waited for the query";
    EXPECT_EQ(iniKeyCount(installation.ini(), "General"), keysBefore + 3);
    EXPECT_EQ(iniValue(installation.ini(), "General", "Show Status bar"), "1");
    EXPECT_NE(iniValue(installation.ini(), "General", "Time Next Checked"), "<missing>");
    EXPECT_NE(iniValue(installation.ini(), "General", "Tray Icon"), "<missing>");
    EXPECT_THAT(installation.log(), EndsWith(" Tickwell stopped\r\n"));
}

// Two copies started together (say, two clicks on the shortcut): exactly one
// runs, the other says why and ends.
TEST(Program, OfTwoCopiesStartedTogetherExactlyOneRuns) {
    Installation installation; // asks no server
    Running first(installation, "");
    Running second(installation, "");
    const auto refused = [](const Running& copy) {
        HWND box = copy.find("Tickwell");
        return box != nullptr &&
               text(box, 0xFFFF) == "Another instance of Tickwell is already running!";
    };
    ASSERT_TRUE(waitFor([&] { return refused(first) || refused(second); }, 20s));
    Running& runner = refused(first) ? second : first;
    Running& other = refused(first) ? first : second;
    ::PostMessageA(other.find("Tickwell"), WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(other.exited(5s));
    HWND window = runner.window();
    ASSERT_NE(window, nullptr) << "neither copy runs";
    EXPECT_FALSE(refused(runner));
    command(window, CMD_EXIT);
    EXPECT_TRUE(runner.exited(10s));
}

// Tests run without a notification area (Wine's null display driver), as a
// program started at a logon may find itself: started with "-minimize" it waits
// hidden for the icon, its tray events work meanwhile, and once shown it is
// never hidden again without an icon to come back by.
TEST(Program, LivesInTheTrayAndRefusesASecondCopy) {
    Installation installation; // asks no server
    installation.set("General", "Run in System Tray", "1");
    installation.set("General", "Rotate Icons in SysTray", "0");
    Running program(installation, "  -MINIMIZE ");
    HWND window = program.window();
    ASSERT_NE(window, nullptr);
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(::IsWindowVisible(window)) << "-minimize with the tray on starts hidden";

    // A second copy says so and ends; the first runs on.
    Running second(installation, "");
    HWND box = nullptr;
    ASSERT_TRUE(waitFor([&] { return (box = second.find("Tickwell")) != nullptr; }, 20s));
    EXPECT_EQ(text(box, 0xFFFF), "Another instance of Tickwell is already running!");
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(second.exited(5s));
    EXPECT_FALSE(program.exited(0ms));

    // The tray menu opens while the window is hidden.
    const auto menuOpen = [] {
        return ::FindWindowA("#32768", nullptr) != nullptr &&
               ::IsWindowVisible(::FindWindowA("#32768", nullptr));
    };
    ::PostMessageA(window, WM_TRAY_CALLBACK, 0, WM_RBUTTONDOWN);
    EXPECT_TRUE(waitFor(menuOpen, 3s));
    ::PostMessageA(::FindWindowA("#32768", nullptr), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(waitFor([&] { return !menuOpen(); }, 3s));

    // A click on the tray icon brings the window back; while it is shown the
    // tray menu does not open.
    ::SendMessageA(window, WM_TRAY_CALLBACK, 0, WM_LBUTTONDOWN);
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_TRUE(::GetMenu(window) != nullptr);
    DWORD_PTR ignored = 0;
    EXPECT_TRUE(::SendMessageTimeoutA(window, WM_TRAY_CALLBACK, 0, WM_RBUTTONDOWN, SMTO_NORMAL,
                                      2000, &ignored));
    EXPECT_FALSE(menuOpen());

    // Closing with the tray on keeps the program running; with no icon to
    // bring it back, the window is minimised rather than hidden.
    ::SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(program.exited(300ms)) << "closing with the tray on keeps the program running";
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_TRUE(::IsIconic(window));

    command(window, CMD_EXIT);
    EXPECT_TRUE(program.exited(10s));
}

TEST(Program, MinimizeIsIgnoredWithoutTheTray) {
    Installation installation;
    installation.set("Network", "CurrentNISTServer", "127.0.0.1");
    Running program(installation, "-minimize");
    HWND window = program.window();
    ASSERT_NE(window, nullptr);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(::IsWindowVisible(window));
    // With the tray off, the close box ends the program.
    ::PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(program.exited(10s));
}

} // namespace
