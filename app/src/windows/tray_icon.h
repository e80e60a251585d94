// The program's icon in the notification area: the window's callback message,
// the chosen tray picture and the tip "Tickwell v1.50". The shell keeps its own
// copy of the picture, so the handle is released as soon as it is added.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace tickwell {

// Tray picture n (1..14) is icon resource 1050 + n; any other n has none.
HICON TrayIcon(HINSTANCE instance, int n);

class TrayIconArea {
  public:
    TrayIconArea(HWND window, HINSTANCE instance, std::string tip);

    // Adds the icon with tray picture n (NIM_ADD). Also after the taskbar was
    // recreated, when the shell has forgotten every icon. False when the shell
    // refused it (no notification area yet, as early in a logon): not shown.
    bool add(int n);
    // Removes it (NIM_DELETE); nothing when it is not there.
    void remove();
    // Shows tray picture n instead of the current one.
    bool replace(int n);
    bool shown() const { return shown_; }

  private:
    NOTIFYICONDATAA record(HICON icon) const;

    HWND window_;
    HINSTANCE instance_;
    std::string tip_;
    bool shown_ = false;
};

} // namespace tickwell
