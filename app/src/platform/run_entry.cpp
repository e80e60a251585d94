#include "run_entry.h"

#include "library_calls.h"
#include "program_seams.h"
#include "settings_codec.h"
#include "tw/handles.h"

#include <windows.h>

namespace tickwell {

namespace {

bool holds(int32_t root, const std::string& command) {
    return registry().readText(root, kRunKeyPath, kRunValueName) == command;
}

bool exists(int32_t root) {
    return registry().readText(root, kRunKeyPath, kRunValueName).has_value();
}

} // namespace

bool setRunEntry(bool startWithWindows, std::string_view exePath) {
    const RegistrySeam& store = registry();
    if (!startWithWindows) {
        // Both, whatever either says: a value left in either would start the program.
        store.remove(kHkeyLocalMachine, kRunKeyPath, kRunValueName);
        store.remove(kHkeyCurrentUser, kRunKeyPath, kRunValueName);
        return exists(kHkeyLocalMachine) || exists(kHkeyCurrentUser);
    }
    const std::string command = runEntryCommand(exePath);
    if (store.save(kHkeyLocalMachine, kRunKeyPath, kRunValueName, command)) {
        // One entry only: with both, Windows would start a second copy, which refuses to run.
        store.remove(kHkeyCurrentUser, kRunKeyPath, kRunValueName);
        return holds(kHkeyLocalMachine, command);
    }
    // An entry for every user that this user cannot write may already be the right one.
    if (holds(kHkeyLocalMachine, command))
        return true;
    store.save(kHkeyCurrentUser, kRunKeyPath, kRunValueName, command);
    return holds(kHkeyCurrentUser, command);
}

bool applyRunEntry(const Settings& s) {
    return setRunEntry(s.startWithWindows, lib::exeName());
}

std::optional<std::string> registryText(int32_t root, const std::string& keyPath,
                                        const std::string& name) {
    // The predefined keys are 32-bit values sign-extended to pointer width.
    HKEY rootKey = reinterpret_cast<HKEY>(static_cast<INT_PTR>(root));
    tw::unique_hkey key;
    if (::RegOpenKeyExA(rootKey, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD size = 0;
    if (::RegGetValueA(key.get(), nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    std::string value(size, '\0');
    if (::RegGetValueA(key.get(), nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr, value.data(),
                       &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.resize(size > 0 ? size - 1 : 0); // the size counts the terminating zero
    return value;
}

} // namespace tickwell
