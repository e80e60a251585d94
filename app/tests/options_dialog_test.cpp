// The options dialog, the chooser and the Add-server dialog as real windows on a
// thread of their own, driven by the messages a user's clicks send; message
// boxes are recorded instead of shown.
#include "add_server_dialog.h"
#include "main_window.h"
#include "options_dialog.h"
#include "program_ids.h"
#include "program_seams.h"
#include "run_entry.h"
#include "settings_codec.h"
#include "tray_icon_chooser.h"
#include "tw/find_control.h"
#include "tw/temp_folder.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tickwell {
namespace {

using tw::testing::TempFolder;

std::vector<std::string> boxes; // texts of the message boxes shown
int WINAPI recordBox(HWND, LPCSTR text, LPCSTR, UINT) {
    boxes.push_back(text);
    return IDOK;
}

std::string textOf(HWND window) {
    char text[256] = {};
    ::SendMessageA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text));
    return text;
}

// A modal dialog run on its own thread; its windows are looked up on that
// thread only, never another test program's.
class DialogThread {
  public:
    explicit DialogThread(std::function<INT_PTR()> run)
        : ui_([this, run] {
              threadId_ = ::GetCurrentThreadId();
              result_ = run();
              done_ = true;
          }) {}
    ~DialogThread() {
        while (!done_) {
            ::EnumThreadWindows(
                threadId_,
                [](HWND w, LPARAM) -> BOOL {
                    ::PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
                    return TRUE;
                },
                0);
            ::Sleep(20);
        }
        ui_.join();
    }
    DialogThread(const DialogThread&) = delete;
    DialogThread& operator=(const DialogThread&) = delete;

    // The shown dialog with this title, waiting for it a little.
    HWND find(const std::string& title) {
        for (int i = 0; i < 250; ++i) {
            struct Search {
                const std::string* title;
                HWND found;
            } search{&title, nullptr};
            ::EnumThreadWindows(
                threadId_,
                [](HWND w, LPARAM p) -> BOOL {
                    auto* s = reinterpret_cast<Search*>(p);
                    if (::IsWindowVisible(w) && textOf(w) == *s->title)
                        s->found = w;
                    return s->found == nullptr;
                },
                reinterpret_cast<LPARAM>(&search));
            if (search.found != nullptr)
                return search.found;
            ::Sleep(20);
        }
        return nullptr;
    }
    // True once the dialog has ended, waiting up to limitMs for it.
    bool ended(int limitMs = 2000) {
        for (int waited = 0; waited < limitMs && !done_; waited += 20)
            ::Sleep(20);
        return done_;
    }
    INT_PTR result() const { return result_; }

  private:
    std::atomic<DWORD> threadId_{0};
    std::atomic<bool> done_{false};
    std::atomic<INT_PTR> result_{-2};
    std::thread ui_;
};

HWND control(HWND dialog, int id, const char* className = nullptr) {
    return tw::testing::findControl(dialog, id, className);
}

void click(HWND dialog, int id) {
    ::SendMessageA(control(dialog, id, "Button"), BM_CLICK, 0, 0);
}
bool checked(HWND dialog, int id) {
    return ::SendMessageA(control(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
bool enabled(HWND dialog, int id) {
    return ::IsWindowEnabled(control(dialog, id)) != FALSE;
}
void type(HWND dialog, int id, const char* text) {
    ::SendMessageA(control(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

// A run's settings with a file of its own and two servers (an empty list would
// bring the default servers into every Apply).
struct TestSettings {
    TempFolder folder;
    Settings s;
    TestSettings() {
        s.iniPath = folder.file("Tickwell.ini");
        s.serverList[1] = "time-a.example";
        s.serverList[2] = "time-b.example (campus)";
        s.serverCount = 2;
        s.currentServer = "time-a.example";
    }
    std::string ini(const char* section, const char* key) const {
        char value[256] = {};
        ::GetPrivateProfileStringA(section, key, "<missing>", value, sizeof(value),
                                   s.iniPath.c_str());
        return value;
    }
    bool written() const {
        return ::GetFileAttributesA(s.iniPath.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
};

class OptionsDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        boxes.clear();
        Seams replaced = seams();
        replaced.messageBox = recordBox;
        scope_.emplace(replaced);
    }
    std::unique_ptr<DialogThread> open(Settings& s) {
        auto ui = std::make_unique<DialogThread>([this, &s] {
            return OptionsDialog(::GetModuleHandleA(nullptr), s,
                                 [this](bool shown) { statusBar_.push_back(shown); })
                .run(nullptr);
        });
        dialog_ = ui->find("Tickwell Options");
        return ui;
    }
    HWND dialog_ = nullptr;
    std::vector<bool> statusBar_;
    std::optional<ScopedSeams> scope_;
};

TEST_F(OptionsDialogTest, TabsShowOnePageAtATime) {
    TestSettings t;
    auto ui = open(t.s);
    ASSERT_NE(dialog_, nullptr);
    const int pageControls[] = {IDC_USE_SOUNDS, IDC_TIME_PORT, IDC_STYLE_LONG};
    for (int shown : {1, 2, 0}) {
        ::SendMessageA(control(dialog_, IDC_TABS), TCM_SETCURFOCUS, static_cast<WPARAM>(shown), 0);
        for (int page = 0; page < 3; ++page)
            EXPECT_EQ(::IsWindowVisible(control(dialog_, pageControls[page])) != FALSE,
                      page == shown)
                << "tab " << shown << ", page " << page;
    }
}

TEST_F(OptionsDialogTest, ClicksFollowTheEnablingRules) {
    TestSettings t;
    t.s.runInSystemTray = 1;
    t.s.rotateIconsInSysTray = 1;
    t.s.autoSetTime = 1;
    t.s.interval = 90; // no option names it
    auto ui = open(t.s);
    ASSERT_NE(dialog_, nullptr);
    const struct Step {
        int click;
        std::vector<std::pair<int, bool>> enabledAfter;
    } steps[] = {
        {0, {{IDC_CHOOSE_TRAY_ICON, false}, {IDC_ROTATE_ICONS, true}, {IDC_SHOW_SPLASH, false}}},
        {IDC_ROTATE_ICONS, {{IDC_CHOOSE_TRAY_ICON, true}}},
        {IDC_RUN_IN_TRAY, {{IDC_CHOOSE_TRAY_ICON, false}, {IDC_ROTATE_ICONS, false}}},
        {IDC_RUN_IN_TRAY, {{IDC_CHOOSE_TRAY_ICON, true}, {IDC_ROTATE_ICONS, true}}},
        {IDC_AUTOSET_NONE, {{IDC_INTERVAL_30, false}, {IDC_CONNECTION_RETRY, false}}},
        {IDC_AUTOSET_NONE, {{IDC_INTERVAL_43200, true}, {IDC_CONNECTION_RETRY, true}}},
        {IDC_USE_PROXY, {{IDC_PROXY_ADDRESS, true}, {IDC_PROXY_PORT, true}}},
    };
    for (const Step& step : steps) {
        if (step.click != 0)
            click(dialog_, step.click);
        for (const auto& [id, on] : step.enabledAfter)
            EXPECT_EQ(enabled(dialog_, id), on) << "after " << step.click << ": " << id;
    }
    // Auto-set on again shows 12 hours for the unnamed interval, which stays in
    // force until Apply.
    EXPECT_TRUE(checked(dialog_, IDC_INTERVAL_720));
    EXPECT_EQ(t.s.interval, 90);
    EXPECT_TRUE(enabled(dialog_, IDC_APPLY));
}

TEST_F(OptionsDialogTest, ApplyStoresAndWritesThenOkAfterApplyClosesWithOne) {
    TestSettings t;
    auto ui = open(t.s);
    ASSERT_NE(dialog_, nullptr);
    click(dialog_, IDC_USE_SOUNDS);
    click(dialog_, IDC_SHOW_STATUSBAR);
    type(dialog_, IDC_TIMEOUT, "45");
    click(dialog_, IDC_APPLY);
    EXPECT_EQ(t.s.useSounds, 0);
    EXPECT_EQ(t.s.networkTimeout, 45);
    EXPECT_EQ(t.ini("General", "Use Sounds"), "0");
    EXPECT_EQ(t.ini("Network", "Network Timeout"), "45");
    EXPECT_EQ(statusBar_, std::vector<bool>{false});
    EXPECT_FALSE(enabled(dialog_, IDC_APPLY));

    // OK with nothing changed since: no second Apply, and the dialog ends with 1.
    ::DeleteFileA(t.s.iniPath.c_str());
    ::PostMessageA(dialog_, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(ui->ended());
    EXPECT_EQ(ui->result(), 1);
    EXPECT_FALSE(t.written());
}

TEST_F(OptionsDialogTest, RefusedNumbersStopApplyAndKeepTheDialogOpen) {
    TestSettings t;
    t.s.timePort = 37;
    auto ui = open(t.s);
    ASSERT_NE(dialog_, nullptr);
    const struct {
        int field;
        const char* text;
        bool proxy;
        const char* restored;
        const char* message;
    } cases[] = {
        {IDC_TIME_PORT, "123", false, "37", "NTP Time not yet supported"},
        {IDC_TIME_PORT, "70000", false, "37", "Time Port must be a whole number from 1 to 65535."},
        {IDC_TIMEOUT, "0", false, "30",
         "Network Timeout must be a whole number of seconds from 1 to 3600."},
        {IDC_PROXY_PORT, "0", true, "80", "Proxy Port must be a whole number from 1 to 65535."},
    };
    click(dialog_, IDC_STAY_ON_TOP); // a change the refusal must not apply
    for (const auto& c : cases) {
        boxes.clear();
        if (checked(dialog_, IDC_USE_PROXY) != c.proxy)
            click(dialog_, IDC_USE_PROXY);
        type(dialog_, c.field, c.text);
        // OK is Apply first: refused, the dialog stays.
        ::SendMessageA(dialog_, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(boxes, std::vector<std::string>{c.message}) << c.text;
        EXPECT_EQ(textOf(control(dialog_, c.field)), c.restored) << c.text;
        EXPECT_TRUE(enabled(dialog_, IDC_APPLY)) << c.text;
        EXPECT_FALSE(ui->ended(200)) << c.text;
    }
    EXPECT_EQ(t.s.stayOnTop, 0);
    EXPECT_EQ(t.s.timePort, 37);
    EXPECT_FALSE(t.written());
}

TEST_F(OptionsDialogTest, CancelAfterADropListChoiceKeepsTheChosenServer) {
    TestSettings t;
    t.s.currentServer = "time-b.example"; // as a query leaves it
    auto ui = open(t.s);
    ASSERT_NE(dialog_, nullptr);
    HWND list = control(dialog_, IDC_SERVER_LIST, "ComboBox");
    EXPECT_EQ(::SendMessageA(list, CB_GETCURSEL, 0, 0), 1) << "the entry with its note";
    ::SendMessageA(list, CB_SETCURSEL, 0, 0);
    ::SendMessageA(::GetParent(list), WM_COMMAND, MAKEWPARAM(IDC_SERVER_LIST, CBN_SELENDOK),
                   reinterpret_cast<LPARAM>(list));
    EXPECT_EQ(t.s.currentServer, "time-a.example");
    ::PostMessageA(dialog_, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(ui->ended());
    EXPECT_EQ(ui->result(), 0);
    EXPECT_EQ(t.s.currentServer, "time-a.example");
    EXPECT_FALSE(t.written());
}

TEST_F(OptionsDialogTest, AFullListSaysSoAndAddsNothing) {
    TestSettings t;
    for (int n = 1; n <= kMaxServers; ++n)
        t.s.serverList[n] = "server" + std::to_string(n) + ".example";
    t.s.serverCount = kMaxServers;
    DialogThread ui(
        [&t] { return AddServerDialog(::GetModuleHandleA(nullptr), t.s).run(nullptr); });
    HWND dialog = ui.find("");
    ASSERT_NE(dialog, nullptr);
    type(dialog, IDC_SERVER_NAME, "one.more.example");
    click(dialog, IDC_ADD);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "The list holds 25 servers, as many as it can: no server was added.");
    EXPECT_FALSE(ui.ended(200));
    EXPECT_EQ(t.s.currentServer, "time-a.example");
    EXPECT_FALSE(t.written());
}

TEST(TrayIconChooserDialog, OkTakesTheLastClickAndShowsIt) {
    const struct {
        std::vector<int> clicks; // icon numbers
        bool ok;
        int trayIconAfter;
    } runs[] = {
        {{}, true, 4},       // no click since the start: the icon in force stays
        {{3, 12}, true, 12}, // the last click wins
        {{5}, false, 12},    // cancelled: nothing changes...
        {{}, true, 5},       // ...but the click is remembered
    };
    windowState().pendingTrayIcon = 0;
    Settings s;
    s.trayIcon = 4;
    for (const auto& run : runs) {
        windowState().trayIconChanged = false;
        const int shownBefore =
            windowState().pendingTrayIcon != 0 ? windowState().pendingTrayIcon : s.trayIcon;
        DialogThread ui(
            [&s] { return TrayIconChooser(::GetModuleHandleA(nullptr), s).run(nullptr); });
        HWND dialog = ui.find("Tickwell - v1.50");
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(checked(dialog, IDC_TRAY_ICON_BASE + shownBefore));
        for (int icon : run.clicks) {
            click(dialog, IDC_TRAY_ICON_BASE + icon);
            for (int n = 1; n <= kTrayIconCount; ++n)
                EXPECT_EQ(checked(dialog, IDC_TRAY_ICON_BASE + n), n == icon) << icon << " " << n;
        }
        click(dialog, run.ok ? IDC_CHOOSER_OK : IDC_CHOOSER_CANCEL);
        ASSERT_TRUE(ui.ended());
        EXPECT_EQ(s.trayIcon, run.trayIconAfter);
        EXPECT_EQ(windowState().trayIconChanged, run.ok);
    }
    windowState().pendingTrayIcon = 0;
}

// The Run entry through the dialog for a user to whom HKEY_LOCAL_MACHINE is
// refused; serial with the other Run entry tests.
bool refuseCurrentUserToo = false;
bool saveRefusingMachine(int32_t root, const std::string& key, const std::string& name,
                         const std::string& data) {
    if (root == kHkeyLocalMachine || refuseCurrentUserToo)
        return false;
    return realSeams().saveRegistryText(root, key, name, data);
}
bool deleteRefusingMachine(int32_t root, const std::string& key, const std::string& name) {
    return root != kHkeyLocalMachine && realSeams().deleteRegistryValue(root, key, name);
}

class SerialRunEntryOptionsDialog : public OptionsDialogTest {};

TEST_F(SerialRunEntryOptionsDialog, GoesToThisUserWhenTheMachineIsRefused) {
    Seams refusing = seams();
    refusing.saveRegistryText = saveRefusingMachine;
    refusing.deleteRegistryValue = deleteRefusingMachine;
    ScopedSeams scope(refusing);
    refuseCurrentUserToo = false;
    TestSettings t;
    auto ui = open(t.s);
    ASSERT_NE(dialog_, nullptr);
    const auto userEntry = [] {
        return registryText(kHkeyCurrentUser, kRunKeyPath, kRunValueName).has_value();
    };

    click(dialog_, IDC_START_WITH_WINDOWS);
    click(dialog_, IDC_APPLY);
    EXPECT_TRUE(userEntry());
    EXPECT_FALSE(registryText(kHkeyLocalMachine, kRunKeyPath, kRunValueName));
    EXPECT_TRUE(checked(dialog_, IDC_START_WITH_WINDOWS));
    EXPECT_EQ(t.ini("General", "Start with Windows"), "1");
    EXPECT_TRUE(boxes.empty());

    click(dialog_, IDC_START_WITH_WINDOWS);
    click(dialog_, IDC_APPLY);
    EXPECT_FALSE(userEntry());
    EXPECT_EQ(t.ini("General", "Start with Windows"), "0");

    // Refused for this user too: the box shows what holds, and a message says why.
    refuseCurrentUserToo = true;
    click(dialog_, IDC_START_WITH_WINDOWS);
    click(dialog_, IDC_APPLY);
    EXPECT_FALSE(checked(dialog_, IDC_START_WITH_WINDOWS));
    EXPECT_EQ(t.s.startWithWindows, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("cannot start with Windows"), std::string::npos) << boxes[0];
}

} // namespace
} // namespace tickwell
