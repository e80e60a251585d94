// The options and Add-server dialogs as real windows on a thread of their own,
// where the seams can refuse the registry and record the message boxes (the
// rest is tried on the real program in program_test.cpp).
#include "add_server_dialog.h"
#include "options_dialog.h"
#include "program_ids.h"
#include "program_seams.h"
#include "run_entry.h"
#include "tw/find_control.h"
#include "tw/temp_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tickwell {
namespace {

using tw::testing::findControl;

std::vector<std::string> boxes;
int WINAPI recordBox(HWND, LPCSTR text, LPCSTR, UINT) {
    boxes.push_back(text);
    return IDOK;
}

bool refuseMachine = true, refuseUser = false;
bool refused(int32_t root) {
    return root == kHkeyLocalMachine ? refuseMachine : refuseUser;
}
bool save(int32_t root, const std::string& key, const std::string& name, const std::string& data) {
    return !refused(root) && realSeams().saveRegistryText(root, key, name, data);
}
bool remove(int32_t root, const std::string& key, const std::string& name) {
    return !refused(root) && realSeams().deleteRegistryValue(root, key, name);
}

// A modal dialog on a thread of its own, found on that thread only (another
// test program may show a dialog of the same title), cancelled at the end.
class DialogThread {
  public:
    explicit DialogThread(std::function<INT_PTR()> run)
        : ui_([this, run] {
              threadId_ = ::GetCurrentThreadId();
              run();
              done_ = true;
          }) {
        for (int i = 0; i < 250 && window_ == nullptr; ++i) {
            ::Sleep(20);
            ::EnumThreadWindows(
                threadId_,
                [](HWND w, LPARAM found) -> BOOL {
                    if (::IsWindowVisible(w))
                        *reinterpret_cast<HWND*>(found) = w;
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&window_));
        }
    }
    ~DialogThread() {
        while (!done_) {
            ::PostMessageA(window_, WM_COMMAND, IDCANCEL, 0);
            ::Sleep(20);
        }
        ui_.join();
    }
    HWND window() const { return window_; }
    void click(int id) const { ::SendMessageA(findControl(window_, id, "Button"), BM_CLICK, 0, 0); }
    bool checked(int id) const {
        return ::SendMessageA(findControl(window_, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }

  private:
    std::atomic<DWORD> threadId_{0};
    std::atomic<bool> done_{false};
    HWND window_ = nullptr;
    std::thread ui_;
};

class DialogSeams : public ::testing::Test {
  protected:
    void SetUp() override {
        boxes.clear();
        s.iniPath = folder.file("Tickwell.ini");
        s.serverList[1] = "time.example";
        s.serverCount = 1;
    }
    tw::testing::TempFolder folder;
    Settings s;
    ScopedSeams scope{[] {
        Seams replaced = seams();
        replaced.messageBox = recordBox;
        replaced.saveRegistryText = save;
        replaced.deleteRegistryValue = remove;
        return replaced;
    }()};
};

// Serial with the other tests of the Run entry, which is one registry value.
class SerialRunEntryOptionsDialog : public DialogSeams {};

TEST_F(SerialRunEntryOptionsDialog, TheBoxShowsWhatHoldsAfterApply) {
    DialogThread ui(
        [this] { return OptionsDialog(::GetModuleHandleA(nullptr), s, nullptr).run(nullptr); });
    ASSERT_NE(ui.window(), nullptr);
    const struct {
        bool refuseUser;
        bool startsAfter;
        bool userEntryAfter;
        const char* message; // part of it; empty: none
    } applies[] = {
        {false, true, true, ""}, // the machine refused: for this user
        {false, false, false, ""},
        {true, false, false, "cannot start with Windows"},
    };
    for (const auto& apply : applies) {
        boxes.clear();
        refuseUser = apply.refuseUser;
        ui.click(IDC_START_WITH_WINDOWS);
        ui.click(IDC_APPLY);
        EXPECT_EQ(ui.checked(IDC_START_WITH_WINDOWS), apply.startsAfter);
        EXPECT_EQ(s.startWithWindows, apply.startsAfter ? 1 : 0);
        EXPECT_EQ(registryText(kHkeyCurrentUser, kRunKeyPath, kRunValueName).has_value(),
                  apply.userEntryAfter);
        EXPECT_FALSE(registryText(kHkeyLocalMachine, kRunKeyPath, kRunValueName).has_value());
        ASSERT_EQ(boxes.size(), *apply.message ? 1u : 0u);
        if (*apply.message) {
            EXPECT_NE(boxes[0].find(apply.message), std::string::npos) << boxes[0];
        }
    }
    refuseUser = false;
}

TEST_F(DialogSeams, AFullServerListSaysSoAndAddsNothing) {
    for (int n = 1; n <= kMaxServers; ++n)
        s.serverList[n] = "server" + std::to_string(n) + ".example";
    s.serverCount = kMaxServers;
    s.currentServer = "server1.example";
    DialogThread ui(
        [this] { return AddServerDialog(::GetModuleHandleA(nullptr), s).run(nullptr); });
    ASSERT_NE(ui.window(), nullptr);
    ::SendMessageA(findControl(ui.window(), IDC_SERVER_NAME), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>("one.more.example"));
    ui.click(IDC_ADD);
    EXPECT_EQ(boxes, std::vector<std::string>{
                         "The list holds 25 servers, as many as it can: no server was added."});
    EXPECT_TRUE(::IsWindowVisible(ui.window()));
    EXPECT_EQ(s.serverCount, kMaxServers);
    EXPECT_EQ(s.currentServer, "server1.example");
    EXPECT_EQ(::GetFileAttributesA(s.iniPath.c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
} // namespace tickwell
