// The real tickwell.exe, started from a folder of its own against a scripted
// server on 127.0.0.1, driven by the messages a user's clicks send and read back
// from its controls, its settings file and its log.
#include "demo_line.h"
#include "program_ids.h"
#include "scripted_server.h"
#include "tw/temp_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using tw::testing::TempFolder;

constexpr char kTitle[] = "Tickwell - v1.50";
constexpr char kCreditLine[] = "Internet time for your PC - The Tickwell developers";

std::string testFolder() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// Asks the window itself: for a window of another process GetWindowText gives
// only the caption the system keeps, which a status bar does not use.
std::string windowText(HWND window) {
    char text[1024] = {};
    ::SendMessageA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text));
    return text;
}

// What the server sends, switched by the test between queries.
enum class Serve { Now, Ahead90, Nothing, SilentThenNothing };

// A Daytime server whose answer the test chooses. "Now" waits for the start of a
// second, so the whole-second time it sends is within a few milliseconds of the
// PC clock and a clock set to it changes nothing.
class SwitchableServer {
  public:
    SwitchableServer() : server_({tw::testserver::sendFn([this] { return answer(); })}) {}
    std::atomic<Serve> mode{Serve::Now};
    uint16_t port() const { return server_.port(); }
    int served() const { return server_.connectionsServed(); }

  private:
    std::string answer() {
        switch (mode.load()) {
        case Serve::Now: {
            SYSTEMTIME now{};
            do {
                ::GetSystemTime(&now);
                if (now.wMilliseconds >= 30)
                    ::Sleep(1000 - now.wMilliseconds);
            } while (now.wMilliseconds >= 30);
            return tw::demo::daytimeLine();
        }
        case Serve::Ahead90:
            return tw::demo::daytimeLine(90);
        case Serve::Nothing:
            return "";
        case Serve::SilentThenNothing:
            std::this_thread::sleep_for(3s);
            return "";
        }
        return "";
    }
    tw::testserver::ScriptedServer server_;
};

// The program, its DLLs and its settings file in a folder of their own.
class Installation {
  public:
    Installation() {
        for (const char* name : {"tickwell.exe", "zym.dll", "zymdate.dll"})
            ::CopyFileA((testFolder() + name).c_str(), folder_.file(name).c_str(), FALSE);
    }
    void set(const char* section, const char* key, const std::string& value) const {
        ::WritePrivateProfileStringA(section, key, value.c_str(), ini().c_str());
    }
    std::string ini() const { return folder_.file("Tickwell.ini"); }
    std::string log() const { return tw::testing::readFile(folder_.file("tickwell.log")); }
    std::string exe() const { return folder_.file("tickwell.exe"); }

  private:
    TempFolder folder_;
};

class Running {
  public:
    Running(const Installation& installation, const std::string& arguments) {
        std::string commandLine = "\"" + installation.exe() + "\" " + arguments;
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        started_ = ::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                    nullptr, nullptr, &startup, &process_) != FALSE;
    }
    ~Running() {
        if (!started_)
            return;
        if (!exited(0ms)) {
            if (window_ != nullptr)
                ::PostMessageA(window_, WM_COMMAND, CMD_EXIT, 0);
            if (!exited(10s))
                ::TerminateProcess(process_.hProcess, 1);
        }
        ::CloseHandle(process_.hThread);
        ::CloseHandle(process_.hProcess);
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

    // The main window once it exists (after the splash), shown or hidden.
    HWND window(std::chrono::milliseconds limit = 20s) {
        waitFor([this] { return (window_ = find(kTitle)) != nullptr || exited(0ms); }, limit);
        return window_;
    }
    // A top-level window of this process with the given title.
    HWND find(const std::string& title) const {
        struct Search {
            DWORD pid;
            const std::string* title;
            HWND found;
        } search{process_.dwProcessId, &title, nullptr};
        ::EnumWindows(
            [](HWND w, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                DWORD pid = 0;
                ::GetWindowThreadProcessId(w, &pid);
                if (pid == s->pid && windowText(w) == *s->title) {
                    s->found = w;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    bool exited(std::chrono::milliseconds limit) const {
        return ::WaitForSingleObject(process_.hProcess, static_cast<DWORD>(limit.count())) ==
               WAIT_OBJECT_0;
    }
    bool started() const { return started_; }

  private:
    PROCESS_INFORMATION process_{};
    bool started_ = false;
    HWND window_ = nullptr;
};

std::string text(HWND window, int id) {
    char buffer[1024] = {};
    ::GetDlgItemTextA(window, id, buffer, sizeof(buffer));
    return buffer;
}

std::string iniValue(const std::string& file, const char* section, const char* key) {
    char buffer[1024] = {};
    ::GetPrivateProfileStringA(section, key, "<missing>", buffer, sizeof(buffer), file.c_str());
    return buffer;
}

size_t iniKeyCount(const std::string& file, const char* section) {
    char buffer[16384] = {};
    const DWORD length =
        ::GetPrivateProfileStringA(section, nullptr, "", buffer, sizeof(buffer), file.c_str());
    size_t count = 0;
    for (DWORD i = 0; i < length; ++i)
        count += buffer[i] == '\0' ? 1 : 0;
    return count;
}

void command(HWND window, int id) {
    ::PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(id), 0);
}

int height(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return r.bottom - r.top;
}

void pointAt(const Installation& installation, const SwitchableServer& server) {
    installation.set("Network", "CurrentNISTServer", "127.0.0.1 (scripted)");
    installation.set("Network", "Time Port", std::to_string(server.port()));
    installation.set("Network", "Network Timeout", "10");
}

TEST(Program, ChecksSetsAndShutsDownAgainstALoopbackServer) {
    SwitchableServer server;
    Installation installation;
    pointAt(installation, server);
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

    // Check with the server's note on the first query only; the clocks agree.
    command(window, CMD_CHECK);
    ASSERT_TRUE(waitFor([&] { return !text(window, IDC_SERVER_TIME).empty(); }, 10s));
    EXPECT_THAT(text(window, IDC_DIFFERENCE), "PC Clock Matches");
    EXPECT_EQ(windowText(statusBar), kCreditLine);
    EXPECT_THAT(installation.log(), HasSubstr("UTC(NIST) *"));

    // Set to a time 90 seconds ahead: Wine refuses to move the clock, and says why.
    server.mode = Serve::Ahead90;
    ::SetDlgItemTextA(window, IDC_DIFFERENCE, "");
    command(window, CMD_SET);
    ASSERT_TRUE(waitFor([&] { return !text(window, IDC_DIFFERENCE).empty(); }, 10s));
    EXPECT_THAT(text(window, IDC_DIFFERENCE), HasSubstr("rivilege"));

    // Set to the PC's own time changes nothing and says so.
    server.mode = Serve::Now;
    ::SetDlgItemTextA(window, IDC_DIFFERENCE, "");
    command(window, CMD_SET);
    ASSERT_TRUE(waitFor([&] { return !text(window, IDC_DIFFERENCE).empty(); }, 10s));
    EXPECT_EQ(text(window, IDC_DIFFERENCE), "PC Clock Matches");

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

TEST(Program, LivesInTheTrayAndRefusesASecondCopy) {
    SwitchableServer server;
    Installation installation;
    pointAt(installation, server);
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
    ASSERT_TRUE(waitFor([&] { return (box = second.find("Tickwell")) != nullptr; }, 10s));
    EXPECT_EQ(text(box, 0xFFFF), "Another instance of Tickwell is already running!");
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(second.exited(5s));
    EXPECT_FALSE(program.exited(0ms));

    // A click on the tray icon brings the window back; closing hides it again.
    ::SendMessageA(window, WM_TRAY_CALLBACK, 0, WM_LBUTTONDOWN);
    EXPECT_TRUE(::IsWindowVisible(window));
    ::SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_FALSE(program.exited(300ms)) << "closing with the tray on keeps the program running";
    ::SendMessageA(window, WM_TRAY_CALLBACK, 0, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(::IsWindowVisible(window));
    ::SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_FALSE(::IsIconic(window));
    command(window, CMD_RESTORE);
    EXPECT_TRUE(waitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 2s));
    EXPECT_TRUE(::GetMenu(window) != nullptr);

    // The tray menu opens only while the window is hidden.
    const auto menuOpen = [] {
        return ::FindWindowA("#32768", nullptr) != nullptr &&
               ::IsWindowVisible(::FindWindowA("#32768", nullptr));
    };
    DWORD_PTR ignored = 0;
    EXPECT_TRUE(::SendMessageTimeoutA(window, WM_TRAY_CALLBACK, 0, WM_RBUTTONDOWN, SMTO_NORMAL,
                                      2000, &ignored));
    EXPECT_FALSE(menuOpen());
    ::SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ::PostMessageA(window, WM_TRAY_CALLBACK, 0, WM_RBUTTONDOWN);
    EXPECT_TRUE(waitFor(menuOpen, 3s));
    ::PostMessageA(::FindWindowA("#32768", nullptr), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(waitFor([&] { return !menuOpen(); }, 3s));

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
