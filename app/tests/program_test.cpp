// The real tickwell.exe, started from a folder of its own against a scripted
// server on 127.0.0.1, driven by the messages a user's clicks send and read back
// from its controls, its settings file and its log.
#include "demo_line.h"
#include "program_ids.h"
#include "scripted_server.h"
#include "tw/find_control.h"
#include "tw/temp_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using namespace std::chrono_literals;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using tw::testing::findControl;
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
    // Its settings name the scripted server, with a note the query drops.
    explicit Installation(const SwitchableServer& server) : Installation() {
        set("Network", "CurrentNISTServer", "127.0.0.1 (scripted)");
        set("Network", "Time Port", std::to_string(server.port()));
        set("Network", "Network Timeout", "10");
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
        return findWhere([&title](HWND w) { return windowText(w) == title; });
    }
    // A shown dialog of this process with the given title, other than `except`
    // (the icon chooser bears the main window's title); waits for it a little.
    HWND dialog(const std::string& title, HWND except = nullptr) const {
        HWND found = nullptr;
        waitFor(
            [&] {
                found = findWhere([&](HWND w) {
                    char name[16] = {};
                    ::GetClassNameA(w, name, sizeof(name));
                    return w != except && std::string(name) == "#32770" && ::IsWindowVisible(w) &&
                           windowText(w) == title;
                });
                return found != nullptr;
            },
            10s);
        return found;
    }
    bool exited(std::chrono::milliseconds limit) const {
        return ::WaitForSingleObject(process_.hProcess, static_cast<DWORD>(limit.count())) ==
               WAIT_OBJECT_0;
    }
    bool started() const { return started_; }

  private:
    HWND findWhere(const std::function<bool(HWND)>& match) const {
        struct Search {
            DWORD pid;
            const std::function<bool(HWND)>* match;
            HWND found;
        } search{process_.dwProcessId, &match, nullptr};
        ::EnumWindows(
            [](HWND w, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                DWORD pid = 0;
                ::GetWindowThreadProcessId(w, &pid);
                if (pid == s->pid && (*s->match)(w)) {
                    s->found = w;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

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

// The options dialog and its two small dialogs in the real program. A click
// that opens a modal window is posted: a sent one would wait until it closes.
void click(HWND dialog, int id, bool opensWindow = false) {
    HWND button = findControl(dialog, id, "Button");
    if (opensWindow)
        ::PostMessageA(button, BM_CLICK, 0, 0);
    else
        ::SendMessageA(button, BM_CLICK, 0, 0);
}
LRESULT send(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageA(findControl(dialog, id), message, wParam, lParam);
}
void type(HWND dialog, int id, const char* text) {
    send(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}
bool closes(HWND window, std::chrono::milliseconds limit = 5s) {
    return waitFor([window] { return !::IsWindow(window); }, limit);
}
// Wide: Wine hands another process's ANSI request for an item wide text.
std::string comboItem(HWND combo, LRESULT index) {
    wchar_t item[256] = {};
    ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item));
    char narrow[256] = {};
    ::WideCharToMultiByte(CP_ACP, 0, item, -1, narrow, sizeof(narrow), nullptr, nullptr);
    return narrow;
}

TEST(ProgramOptions, PagesServersAndWhatCancelKeeps) {
    SwitchableServer server;
    Installation installation(server);
    installation.set("TimeServers", "Server1", "127.0.0.1 (scripted)");
    installation.set("TimeServers", "Server2", "localhost (loopback)");
    Running program(installation, "");
    HWND window = program.window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 2s));
    const std::string ini = installation.ini();

    // A server chosen in the drop list is current at once and outlives Cancel,
    // which writes nothing.
    const std::string before = tw::testing::readFile(ini);
    command(window, CMD_OPTIONS);
    HWND options = program.dialog("Tickwell Options");
    ASSERT_NE(options, nullptr);
    HWND servers = findControl(options, IDC_SERVER_LIST, "ComboBox");
    EXPECT_EQ(::SendMessageA(servers, CB_GETCURSEL, 0, 0), 0);
    ::SendMessageA(servers, CB_SETCURSEL, 1, 0);
    ::SendMessageA(::GetParent(servers), WM_COMMAND, MAKEWPARAM(IDC_SERVER_LIST, CBN_SELENDOK),
                   reinterpret_cast<LPARAM>(servers));
    click(options, IDC_USE_SOUNDS);
    ::PostMessageA(options, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(closes(options));
    EXPECT_EQ(tw::testing::readFile(ini), before);
    // The query leaves the cleaned name, "localhost"; the list still shows its entry.
    const int served = server.served();
    command(window, CMD_CHECK);
    ASSERT_TRUE(waitFor([&] { return server.served() > served; }, 10s));
    ASSERT_TRUE(waitFor(
        [&] { return windowText(::GetDlgItem(window, IDC_STATUSBAR)) == kCreditLine; }, 10s));

    // One change on each page; OK with a port out of range is refused and stays open.
    command(window, CMD_OPTIONS);
    options = program.dialog("Tickwell Options");
    ASSERT_NE(options, nullptr);
    servers = findControl(options, IDC_SERVER_LIST, "ComboBox");
    EXPECT_EQ(::SendMessageA(servers, CB_GETCURSEL, 0, 0), 1);
    click(options, IDC_SHOW_STATUSBAR);
    click(options, IDC_STAY_ON_TOP);
    send(options, IDC_TABS, TCM_SETCURFOCUS, 1);
    EXPECT_TRUE(::IsWindowVisible(findControl(options, IDC_TIMEOUT)));
    EXPECT_FALSE(::IsWindowVisible(findControl(options, IDC_STAY_ON_TOP)));
    type(options, IDC_TIMEOUT, "25");
    click(options, IDC_USE_PROXY);
    EXPECT_TRUE(::IsWindowEnabled(findControl(options, IDC_PROXY_PORT)));
    type(options, IDC_TIME_PORT, "65536");
    ::PostMessageA(options, WM_COMMAND, IDOK, 0);
    HWND box = program.dialog("Tickwell");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(text(box, 0xFFFF), "Time Port must be a whole number from 1 to 65535.");
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(closes(box));
    EXPECT_TRUE(::IsWindowVisible(options));
    EXPECT_EQ(windowText(findControl(options, IDC_TIME_PORT)), std::to_string(server.port()));
    EXPECT_EQ(tw::testing::readFile(ini), before);
    send(options, IDC_TABS, TCM_SETCURFOCUS, 2);
    click(options, IDC_STYLE_24H);
    const int withStatusBar = height(window);
    click(options, IDC_APPLY);
    EXPECT_FALSE(::IsWindowEnabled(findControl(options, IDC_APPLY)));
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(window, IDC_STATUSBAR)));
    EXPECT_LT(height(window), withStatusBar);
    for (const auto& [section, key, value] :
         {std::tuple{"General", "Show Status bar", "0"},
          {"Network", "Network Timeout", "25"},
          {"Network", "Use Proxy Server", "1"},
          {"Format", "Time Style", "1"},
          {"Network", "CurrentNISTServer", "localhost (loopback)"}})
        EXPECT_EQ(iniValue(ini, section, key), value) << key;

    // Servers added by name and by address go to the file and the drop list at
    // once, the new one shown; nothing entered adds nothing and stays open.
    const struct {
        const char* name;
        DWORD address;
        const char* added;
    } adds[] = {
        {" ", 0, nullptr},
        {"  my.time.example ", 0, "my.time.example"},
        {"", MAKEIPADDRESS(10, 0, 0, 1), "10.0.0.1"},
    };
    LRESULT count = 2;
    for (const auto& add : adds) {
        click(options, IDC_SERVER_LIST, true);
        HWND dialog = program.dialog("");
        ASSERT_NE(dialog, nullptr);
        type(dialog, IDC_SERVER_NAME, add.name);
        send(dialog, IDC_SERVER_ADDRESS, IPM_SETADDRESS, 0, add.address);
        click(dialog, IDC_ADD, true);
        if (add.added == nullptr) {
            EXPECT_FALSE(closes(dialog, 500ms)) << "nothing entered closed the dialog";
            ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            ASSERT_TRUE(closes(dialog));
            continue;
        }
        ASSERT_TRUE(closes(dialog)) << add.added;
        ++count;
        EXPECT_EQ(iniValue(ini, "TimeServers", ("Server" + std::to_string(count)).c_str()),
                  add.added);
        ASSERT_EQ(::SendMessageA(servers, CB_GETCOUNT, 0, 0), count);
        EXPECT_EQ(comboItem(servers, count - 1), add.added);
        EXPECT_EQ(::SendMessageA(servers, CB_GETCURSEL, 0, 0), count - 1) << add.added;
    }
    EXPECT_EQ(iniValue(ini, "TimeServers", "Server5"), "<missing>");
    ::PostMessageA(options, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(closes(options));
    EXPECT_EQ(iniValue(ini, "Network", "CurrentNISTServer"), "10.0.0.1");
    EXPECT_TRUE(
        waitFor([&] { return (::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }, 2s))
        << "stay on top";
    command(window, CMD_EXIT);
    EXPECT_TRUE(program.exited(10s));
}

// Stands in for the notification area, which the test prefix lacks: Wine's
// Shell_NotifyIcon hands each request to the window of this class as a
// WM_COPYDATA, an added icon's data ending with its picture's colour bits.
class FakeTray {
  public:
    FakeTray() : thread_([this] { run(); }) {
        waitFor([this] { return window_ != nullptr; }, 5s);
    }
    ~FakeTray() {
        ::PostMessageA(window_, WM_CLOSE, 0, 0);
        thread_.join();
    }
    // The data of each NIM_ADD, and the last request.
    std::vector<std::string> added() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return added_;
    }
    DWORD last() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return last_;
    }

  private:
    void run() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = procedure;
        windowClass.lpszClassName = "Shell_TrayWnd";
        ::RegisterClassA(&windowClass);
        HWND window = ::CreateWindowExA(0, "Shell_TrayWnd", "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                        nullptr, nullptr, nullptr);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        window_ = window;
        MSG message{};
        while (::GetMessageA(&message, nullptr, 0, 0) > 0)
            ::DispatchMessageA(&message);
        ::UnregisterClassA("Shell_TrayWnd", nullptr);
    }
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<FakeTray*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message == WM_COPYDATA && self != nullptr) {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->last_ = static_cast<DWORD>(data->dwData);
            if (data->dwData == NIM_ADD)
                self->added_.emplace_back(static_cast<const char*>(data->lpData), data->cbData);
            return TRUE;
        }
        if (message == WM_CLOSE) {
            ::DestroyWindow(window);
            ::PostQuitMessage(0);
            return 0;
        }
        return ::DefWindowProcA(window, message, wParam, lParam);
    }

    std::atomic<HWND> window_{nullptr};
    mutable std::mutex mutex_;
    std::vector<std::string> added_;
    DWORD last_ = 0;
    std::thread thread_;
};

// The colour bits of tray picture n as the program loads it.
std::string trayPictureBits(const std::string& exe, int n) {
    HMODULE module = ::LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HICON icon = static_cast<HICON>(::LoadImageA(module, MAKEINTRESOURCEA(IDI_TRAY_BASE + n),
                                                 IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                 ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    ICONINFO info{};
    std::string bits;
    if (icon != nullptr && ::GetIconInfo(icon, &info)) {
        BITMAP colour{};
        ::GetObjectA(info.hbmColor, sizeof(colour), &colour);
        bits.resize(static_cast<size_t>(colour.bmWidthBytes) *
                    static_cast<size_t>(colour.bmHeight));
        ::GetBitmapBits(info.hbmColor, static_cast<LONG>(bits.size()), bits.data());
        ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
        ::DestroyIcon(icon);
    }
    ::FreeLibrary(module);
    return bits;
}

TEST(ProgramOptions, AFullListAndTheTrayIconChosen) {
    FakeTray tray;
    Installation installation;
    installation.set("Network", "CurrentNISTServer", "127.0.0.1");
    installation.set("General", "Run in System Tray", "1");
    installation.set("General", "Rotate Icons in SysTray", "0");
    installation.set("General", "Tray Icon", "1");
    for (int n = 1; n <= 25; ++n)
        installation.set("TimeServers", ("Server" + std::to_string(n)).c_str(),
                         std::to_string(n) + ".time.example");
    const std::string first = trayPictureBits(installation.exe(), 1);
    const std::string seventh = trayPictureBits(installation.exe(), 7);
    ASSERT_FALSE(seventh.empty());
    ASSERT_NE(first, seventh);
    Running program(installation, "");
    HWND window = program.window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitFor([&] { return !tray.added().empty(); }, 5s));
    EXPECT_THAT(tray.added().back(), EndsWith(first));

    command(window, CMD_OPTIONS);
    HWND options = program.dialog("Tickwell Options");
    ASSERT_NE(options, nullptr);
    // A full list of servers says so and adds nothing.
    click(options, IDC_SERVER_LIST, true);
    HWND add = program.dialog("");
    ASSERT_NE(add, nullptr);
    type(add, IDC_SERVER_NAME, "26.time.example");
    click(add, IDC_ADD, true);
    HWND box = program.dialog("Tickwell");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(text(box, 0xFFFF),
              "The list holds 25 servers, as many as it can: no server was added.");
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(closes(box));
    EXPECT_TRUE(::IsWindowVisible(add));
    ::PostMessageA(add, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(closes(add));
    EXPECT_EQ(iniValue(installation.ini(), "TimeServers", "Server26"), "<missing>");

    // The chooser shows the icon in force, then the one clicked last, alone.
    click(options, IDC_CHOOSE_TRAY_ICON, true);
    HWND chooser = program.dialog(kTitle, window);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(send(chooser, IDC_TRAY_ICON_BASE + 1, BM_GETCHECK), BST_CHECKED);
    for (int icon : {3, 7})
        click(chooser, IDC_TRAY_ICON_BASE + icon);
    for (int icon = 1; icon <= 14; ++icon)
        EXPECT_EQ(send(chooser, IDC_TRAY_ICON_BASE + icon, BM_GETCHECK) == BST_CHECKED, icon == 7)
            << icon;
    click(chooser, IDC_CHOOSER_OK, true);
    ASSERT_TRUE(closes(chooser));
    ::PostMessageA(options, WM_COMMAND, IDCANCEL, 0); // the choice outlives Cancel
    ASSERT_TRUE(closes(options));
    ASSERT_TRUE(waitFor([&] { return tray.added().size() == 2; }, 3s)) << "no new tray icon";
    EXPECT_THAT(tray.added().back(), EndsWith(seventh));

    // A new taskbar knows no icons: the program puts its own back, as chosen.
    ::SendMessageA(window, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    ASSERT_TRUE(waitFor([&] { return tray.added().size() == 3; }, 3s)) << "the icon stayed away";
    EXPECT_THAT(tray.added().back(), EndsWith(seventh));

    // The tray turned off from the hidden window: the icon goes, the window comes back.
    ::SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_FALSE(::IsWindowVisible(window));
    command(window, CMD_OPTIONS);
    options = program.dialog("Tickwell Options");
    ASSERT_NE(options, nullptr);
    click(options, IDC_RUN_IN_TRAY);
    ::PostMessageA(options, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(closes(options));
    EXPECT_TRUE(waitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 2s));
    EXPECT_EQ(tray.last(), static_cast<DWORD>(NIM_DELETE));
    command(window, CMD_EXIT);
    ASSERT_TRUE(program.exited(10s));
    EXPECT_EQ(iniValue(installation.ini(), "General", "Tray Icon"), "7");
}

} // namespace
