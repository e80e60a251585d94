// The registry value that starts the program with Windows. It goes under
// HKEY_LOCAL_MACHINE, for every user of the PC; where that is refused (a
// standard user, or an administrator without elevation) under
// HKEY_CURRENT_USER, for this user. Turning it off removes it from both.
#pragma once

#include "settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tickwell {

inline constexpr int32_t kHkeyCurrentUser = static_cast<int32_t>(0x80000001u);
inline constexpr int32_t kHkeyLocalMachine = static_cast<int32_t>(0x80000002u);
inline constexpr char kRunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kRunValueName[] = "Tickwell";

// Makes the entry for the program at exePath exist (on) or not (off). True when,
// afterwards, Windows starts the program: what really holds, whether or not it
// is what was asked.
bool setRunEntry(bool startWithWindows, std::string_view exePath);
// The same for this program and its "Start with Windows" setting.
bool applyRunEntry(const Settings& s);

// A text value of the registry, none when it is absent (the Run entry's read;
// zym has no read).
std::optional<std::string> registryText(int32_t root, const std::string& keyPath,
                                        const std::string& name);

} // namespace tickwell
