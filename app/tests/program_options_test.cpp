// The options dialog, the Add-server dialog and the tray icon chooser in the
// real tickwell.exe, driven as in program_test.cpp.
#include "program_harness.h"

namespace {

using namespace tickwell::program_testing;

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
    installation.set("Network", "Servers to ask", "2");
    installation.set("General", "Maximum automatic change", "900");
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
    // Two servers asked: the status bar names the one the time came from.
    ASSERT_TRUE(waitFor(
        [&] {
            return windowText(::GetDlgItem(window, IDC_STATUSBAR)).rfind("Time from ", 0) == 0;
        },
        10s))
        << windowText(::GetDlgItem(window, IDC_STATUSBAR));

    // One change on each page; OK with a port out of range is refused and stays open.
    command(window, CMD_OPTIONS);
    options = program.dialog("Tickwell Options");
    ASSERT_NE(options, nullptr);
    servers = findControl(options, IDC_SERVER_LIST, "ComboBox");
    EXPECT_EQ(::SendMessageA(servers, CB_GETCURSEL, 0, 0), 1);
    click(options, IDC_SHOW_STATUSBAR);
    click(options, IDC_STAY_ON_TOP);
    EXPECT_EQ(windowText(findControl(options, IDC_MAXIMUM_CHANGE)), "900");
    type(options, IDC_MAXIMUM_CHANGE, "600");
    send(options, IDC_TABS, TCM_SETCURFOCUS, 1);
    EXPECT_TRUE(::IsWindowVisible(findControl(options, IDC_TIMEOUT)));
    EXPECT_FALSE(::IsWindowVisible(findControl(options, IDC_STAY_ON_TOP)));
    type(options, IDC_TIMEOUT, "25");
    click(options, IDC_USE_PROXY);
    EXPECT_TRUE(::IsWindowEnabled(findControl(options, IDC_PROXY_PORT)));
    // The counts: the one stored shown, the samples only while the NTP port is typed.
    HWND serversToAsk = findControl(options, IDC_SERVERS_TO_ASK, "ComboBox");
    HWND samples = findControl(options, IDC_SAMPLES_PER_SERVER, "ComboBox");
    EXPECT_EQ(::SendMessageA(serversToAsk, CB_GETCURSEL, 0, 0), 1);
    EXPECT_FALSE(::IsWindowEnabled(samples));
    type(options, IDC_TIME_PORT, "123");
    EXPECT_TRUE(::IsWindowEnabled(samples));
    ::SendMessageA(serversToAsk, CB_SETCURSEL, 2, 0);
    ::SendMessageA(samples, CB_SETCURSEL, 7, 0);
    type(options, IDC_TIME_PORT, "65536");
    ::PostMessageA(options, WM_COMMAND, IDOK, 0);
    HWND box = program.dialog("Tickwell");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(text(box, 0xFFFF), "Time Port must be a whole number from 1 to 65535.");
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(closes(box));
    EXPECT_TRUE(::IsWindowVisible(options));
    EXPECT_EQ(windowText(findControl(options, IDC_TIME_PORT)), std::to_string(server.port()));
    EXPECT_FALSE(::IsWindowEnabled(samples)) << "the port put back is not NTP's";
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
          {"General", "Maximum automatic change", "600"},
          {"Network", "Servers to ask", "3"},
          {"Network", "Samples per server", "8"},
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
