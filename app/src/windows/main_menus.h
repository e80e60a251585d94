// The main window's menu bar and the tray icon's menu, built from tables.
#pragma once

#include <windows.h>

namespace tickwell {

// The texts Check and Set have in the menus and as their buttons' tips.
inline constexpr char kCheckText[] = "Check Atomic clock time (NIST)";
inline constexpr char kSetText[] = "Set local PC Time with NIST Time";

// File, View and Help; "Status Bar" checked when statusBarShown.
HMENU buildMenuBar(bool statusBarShown);
// The tray icon's pop-up: Check, Set, View, Help, Restore, Exit.
HMENU buildTrayMenu(bool statusBarShown);

} // namespace tickwell
