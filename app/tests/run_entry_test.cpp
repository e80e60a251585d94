// The Run entry against the real registry of the test prefix, where this user
// may write HKEY_LOCAL_MACHINE; a seam refuses it, as Windows refuses a standard
// user. Serial: the program's end-to-end tests use the same value.
#include "options_dialog.h"
#include "program_ids.h"
#include "program_seams.h"
#include "run_entry.h"
#include "settings_codec.h"
#include "tw/find_control.h"
#include "tw/temp_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tickwell {
namespace {

using tw::testing::findControl;

constexpr char kExe[] = "C:\\Program Files\\Tickwell\\tickwell.exe";
constexpr char kOtherExe[] = "C:\\Old\\tickwell.exe";

bool refuseMachine = false, refuseUser = false;
bool refused(int32_t root) {
    return root == kHkeyLocalMachine ? refuseMachine : refuseUser;
}
bool save(int32_t root, const std::string& key, const std::string& name, const std::string& data) {
    return !refused(root) && realSeams().saveRegistryText(root, key, name, data);
}
bool remove(int32_t root, const std::string& key, const std::string& name) {
    return !refused(root) && realSeams().deleteRegistryValue(root, key, name);
}
std::vector<std::string> boxes;
int WINAPI recordBox(HWND, LPCSTR text, LPCSTR, UINT) {
    boxes.push_back(text);
    return IDOK;
}
Seams refusingSeams() {
    Seams replaced = seams();
    replaced.saveRegistryText = save;
    replaced.deleteRegistryValue = remove;
    replaced.messageBox = recordBox;
    return replaced;
}

HKEY rootKey(int32_t root) {
    return reinterpret_cast<HKEY>(static_cast<INT_PTR>(root));
}
void put(int32_t root, const char* exe) {
    const std::string data = runEntryCommand(exe);
    ::RegSetKeyValueA(rootKey(root), kRunKeyPath, kRunValueName, REG_SZ, data.c_str(),
                      static_cast<DWORD>(data.size() + 1));
}
void clear(int32_t root) {
    ::RegDeleteKeyValueA(rootKey(root), kRunKeyPath, kRunValueName);
}
std::string entry(int32_t root) {
    return registryText(root, kRunKeyPath, kRunValueName).value_or("<absent>");
}

TEST(SerialRunEntry, GoesForEveryUserElseForThisUserAndSaysWhatHolds) {
    const std::string ours = runEntryCommand(kExe);
    const std::string old = runEntryCommand(kOtherExe);
    const std::string absent = "<absent>";
    const struct Case {
        const char* what;
        bool on;
        bool refuseMachine, refuseUser;
        const char *machineBefore, *userBefore; // the program named, or none
        bool starts;
        std::string machineAfter, userAfter;
    } cases[] = {
        {"on, for every user", true, false, false, nullptr, nullptr, true, ours, absent},
        {"on, a user entry goes (no second start)", true, false, false, nullptr, kExe, true, ours,
         absent},
        {"on, machine refused: for this user", true, true, false, nullptr, nullptr, true, absent,
         ours},
        {"on, machine refused but already right", true, true, false, kExe, nullptr, true, ours,
         absent},
        {"on, machine refused and naming an old copy", true, true, false, kOtherExe, nullptr, true,
         old, ours},
        {"on, both refused", true, true, true, nullptr, nullptr, false, absent, absent},
        {"off, both go", false, false, false, kExe, kExe, false, absent, absent},
        {"off, machine refused: the entry stays", false, true, false, kExe, kExe, true, ours,
         absent},
        {"off, nothing there", false, true, true, nullptr, nullptr, false, absent, absent},
    };
    ScopedSeams scope(refusingSeams());
    for (const Case& c : cases) {
        for (int32_t root : {kHkeyLocalMachine, kHkeyCurrentUser})
            clear(root);
        if (c.machineBefore)
            put(kHkeyLocalMachine, c.machineBefore);
        if (c.userBefore)
            put(kHkeyCurrentUser, c.userBefore);
        refuseMachine = c.refuseMachine;
        refuseUser = c.refuseUser;

        EXPECT_EQ(setRunEntry(c.on, kExe), c.starts) << c.what;
        EXPECT_EQ(entry(kHkeyLocalMachine), c.machineAfter) << c.what;
        EXPECT_EQ(entry(kHkeyCurrentUser), c.userAfter) << c.what;
    }
    for (int32_t root : {kHkeyLocalMachine, kHkeyCurrentUser})
        clear(root);
    refuseMachine = refuseUser = false;
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

// Through the options dialog: the box shows what holds after each Apply.
TEST(SerialRunEntry, TheOptionsBoxShowsWhatHoldsAfterApply) {
    ScopedSeams scope(refusingSeams());
    tw::testing::TempFolder folder;
    Settings s;
    s.iniPath = folder.file("Tickwell.ini");
    s.serverList[1] = "time.example";
    s.serverCount = 1;
    DialogThread ui(
        [&s] { return OptionsDialog(::GetModuleHandleA(nullptr), s, nullptr).run(nullptr); });
    ASSERT_NE(ui.window(), nullptr);
    char exe[MAX_PATH];
    ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const std::string ours = runEntryCommand(exe), absent = "<absent>";
    const struct {
        bool refuseMachine, refuseUser;
        bool starts; // the box and the setting after Apply
        std::string machine, user;
        const char* message; // a part of it; empty: none
    } applies[] = {
        {false, false, true, ours, absent, ""},
        {false, false, false, absent, absent, ""},
        {true, false, true, absent, ours, ""}, // a standard user
        {true, false, false, absent, absent, ""},
        {true, true, false, absent, absent, "cannot start with Windows"},
    };
    for (const auto& apply : applies) {
        boxes.clear();
        refuseMachine = apply.refuseMachine;
        refuseUser = apply.refuseUser;
        ui.click(IDC_START_WITH_WINDOWS);
        ui.click(IDC_APPLY);
        EXPECT_EQ(ui.checked(IDC_START_WITH_WINDOWS), apply.starts);
        EXPECT_EQ(s.startWithWindows, apply.starts ? 1 : 0);
        EXPECT_EQ(entry(kHkeyLocalMachine), apply.machine);
        EXPECT_EQ(entry(kHkeyCurrentUser), apply.user);
        ASSERT_EQ(boxes.size(), *apply.message ? 1u : 0u);
        if (*apply.message) {
            EXPECT_NE(boxes[0].find(apply.message), std::string::npos) << boxes[0];
        }
    }
    refuseMachine = refuseUser = false;
}

} // namespace
} // namespace tickwell
