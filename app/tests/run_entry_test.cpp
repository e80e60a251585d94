// The Run entry against the real registry of the test prefix, where this user
// may write HKEY_LOCAL_MACHINE; a seam refuses it, as Windows refuses a standard
// user. Serial: the program's end-to-end tests use the same value.
#include "program_seams.h"
#include "run_entry.h"
#include "settings_codec.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

namespace tickwell {
namespace {

constexpr char kExe[] = "C:\\Program Files\\Tickwell\\tickwell.exe";
constexpr char kOtherExe[] = "C:\\Old\\tickwell.exe";

bool refuseLocalMachine = false;
bool refuseCurrentUser = false;

bool refused(int32_t root) {
    return (root == kHkeyLocalMachine && refuseLocalMachine) ||
           (root == kHkeyCurrentUser && refuseCurrentUser);
}
bool saveUnlessRefused(int32_t root, const std::string& key, const std::string& name,
                       const std::string& data) {
    return !refused(root) && realSeams().saveRegistryText(root, key, name, data);
}
bool deleteUnlessRefused(int32_t root, const std::string& key, const std::string& name) {
    return !refused(root) && realSeams().deleteRegistryValue(root, key, name);
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
    Seams replaced = seams();
    replaced.saveRegistryText = saveUnlessRefused;
    replaced.deleteRegistryValue = deleteUnlessRefused;
    ScopedSeams scope(replaced);
    for (const Case& c : cases) {
        for (int32_t root : {kHkeyLocalMachine, kHkeyCurrentUser})
            clear(root);
        if (c.machineBefore)
            put(kHkeyLocalMachine, c.machineBefore);
        if (c.userBefore)
            put(kHkeyCurrentUser, c.userBefore);
        refuseLocalMachine = c.refuseMachine;
        refuseCurrentUser = c.refuseUser;

        EXPECT_EQ(setRunEntry(c.on, kExe), c.starts) << c.what;
        EXPECT_EQ(entry(kHkeyLocalMachine), c.machineAfter) << c.what;
        EXPECT_EQ(entry(kHkeyCurrentUser), c.userAfter) << c.what;
    }
    for (int32_t root : {kHkeyLocalMachine, kHkeyCurrentUser})
        clear(root);
}

} // namespace
} // namespace tickwell
