// The Run entry through the options dialog against the real registry of the
// test prefix, where this user may write HKEY_LOCAL_MACHINE; a seam refuses it,
// as Windows refuses a standard user. Serial: one registry value.
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

constexpr char kOldCopy[] = "C:\\Old Tools\\tickwell.exe";

bool refuseMachine = false, refuseUser = false;
bool refused(int32_t root) {
    return root == kHkeyLocalMachine ? refuseMachine : refuseUser;
}
bool save(int32_t root, const std::string& key, const std::string& name, const std::string& data) {
    return !refused(root) && RegistrySeam::real().save(root, key, name, data);
}
bool remove(int32_t root, const std::string& key, const std::string& name) {
    return !refused(root) && RegistrySeam::real().remove(root, key, name);
}
std::vector<std::string> boxes;
int WINAPI recordBox(HWND, LPCSTR text, LPCSTR, UINT) {
    boxes.push_back(text);
    return IDOK;
}
RegistrySeam refusingRegistry() {
    RegistrySeam replaced = RegistrySeam::real();
    replaced.save = save;
    replaced.remove = remove;
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

// Start with Windows on or off, and Apply, with each root refused or not and
// entries already there: the box shows what holds afterwards.
TEST(SerialRunEntry, GoesForEveryUserElseForThisUserAndTheBoxShowsWhatHolds) {
    tw::ScopedSeam<RegistrySeam> registryScope(refusingRegistry());
    tw::ScopedSeam<MessageBoxSeam> boxScope({recordBox});
    tw::testing::TempFolder folder;
    Settings s;
    s.iniPath = folder.file("Tickwell.ini");
    s.serverList[1] = "time.example";
    s.serverCount = 1;
    OptionsHost host;
    DialogThread ui(
        [&s, &host] { return OptionsDialog(::GetModuleHandleA(nullptr), s, host).run(nullptr); });
    ASSERT_NE(ui.window(), nullptr);
    char exe[MAX_PATH];
    ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const std::string ours = runEntryCommand(exe), old = runEntryCommand(kOldCopy), no = "<absent>";
    const struct {
        const char* what;
        bool on, refuseMachine, refuseUser;
        const char *machineBefore, *userBefore; // the program they name, or none
        bool starts;                            // the box and the setting after Apply
        std::string machine, user;
        const char* message; // a part of it; empty: none
    } cases[] = {
        {"for every user", true, false, false, nullptr, nullptr, true, ours, no, ""},
        {"off", false, false, false, exe, exe, false, no, no, ""},
        {"a user entry goes: no second start", true, false, false, nullptr, exe, true, ours, no,
         ""},
        {"a standard user", true, true, false, nullptr, nullptr, true, no, ours, ""},
        {"off for a standard user", false, true, false, nullptr, exe, false, no, no, ""},
        {"already there for every user", true, true, false, exe, nullptr, true, ours, no, ""},
        {"for every user, an old copy", true, true, false, kOldCopy, nullptr, true, old, ours, ""},
        {"refused to both", true, true, true, nullptr, nullptr, false, no, no,
         "cannot start with Windows"},
        {"not removed for every user", false, true, false, exe, nullptr, true, ours, no,
         "still starts with Windows"},
    };
    for (const auto& c : cases) {
        for (int32_t root : {kHkeyLocalMachine, kHkeyCurrentUser})
            clear(root);
        if (c.machineBefore)
            put(kHkeyLocalMachine, c.machineBefore);
        if (c.userBefore)
            put(kHkeyCurrentUser, c.userBefore);
        refuseMachine = c.refuseMachine;
        refuseUser = c.refuseUser;
        boxes.clear();
        // Clicked to the state wanted, so that Apply is enabled.
        if (ui.checked(IDC_START_WITH_WINDOWS) == c.on)
            ui.click(IDC_START_WITH_WINDOWS);
        ui.click(IDC_START_WITH_WINDOWS);
        ui.click(IDC_APPLY);
        EXPECT_EQ(ui.checked(IDC_START_WITH_WINDOWS), c.starts) << c.what;
        EXPECT_EQ(s.startWithWindows, c.starts ? 1 : 0) << c.what;
        EXPECT_EQ(entry(kHkeyLocalMachine), c.machine) << c.what;
        EXPECT_EQ(entry(kHkeyCurrentUser), c.user) << c.what;
        ASSERT_EQ(boxes.size(), *c.message ? 1u : 0u) << c.what;
        if (*c.message) {
            EXPECT_NE(boxes[0].find(c.message), std::string::npos) << boxes[0];
        }
    }
    for (int32_t root : {kHkeyLocalMachine, kHkeyCurrentUser})
        clear(root);
    refuseMachine = refuseUser = false;
}

} // namespace
} // namespace tickwell
