// The program's title and icons on its own windows: "Tickwell - v1.50" with
// icon 1024 on the main window and the tray icon chooser, a big icon of their
// own on the other dialogs.
#pragma once

#include "tw/handles.h"

#include <windows.h>

namespace tickwell {

// Sets the window's big icon to icon resource iconId; the icon is returned for
// the caller to keep as long as the window lives.
tw::unique_hicon setBigIcon(HWND window, HINSTANCE instance, int iconId);

// Sets the program's title and its icon.
tw::unique_hicon showProgramTitle(HWND window, HINSTANCE instance);

} // namespace tickwell
