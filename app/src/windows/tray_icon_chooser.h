// The tray icon chooser: fourteen icon buttons, one of which "&Ok" makes the
// tray icon at once ("Tray Icon" in memory, stored at shutdown), whatever the
// options dialog does after.
#pragma once

#include "settings.h"
#include "tw/dialog.h"
#include "tw/handles.h"

#include <windows.h>

#include <array>

namespace tickwell {

class TrayIconChooser final : public tw::Dialog {
  public:
    // pendingTrayIcon: the icon clicked last, 0 before any click; the caller
    // keeps it from one opening of the chooser to the next.
    TrayIconChooser(HINSTANCE instance, Settings& settings, int& pendingTrayIcon);

    // Runs the dialog modally: 1 when an icon was confirmed, 0 after Cancel or
    // the close box.
    INT_PTR run(HWND owner);

  protected:
    bool onInit() override;
    bool onCommand(int id, int code, HWND control) override;

  private:
    HINSTANCE instance_;
    Settings& settings_;
    int& pendingTrayIcon_;
    tw::unique_hicon bigIcon_;
    std::array<tw::unique_hicon, kTrayIconCount> icons_;
};

} // namespace tickwell
