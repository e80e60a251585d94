// The program's title and icon on one of its own windows ("Tickwell - v1.50",
// icon 1024), as the main window and the tray icon chooser show them.
#pragma once

#include "tw/handles.h"

#include <windows.h>

namespace tickwell {

// Sets the title and the big icon; the icon is returned for the caller to keep
// as long as the window lives.
tw::unique_hicon showProgramTitle(HWND window, HINSTANCE instance);

} // namespace tickwell
