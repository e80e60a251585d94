// The Add-server dialog: one time server, by host name or by IPv4 address,
// appended to the list and to the settings file at once, and made the current
// server. The name box takes precedence over the address.
#pragma once

#include "settings.h"
#include "tw/dialog.h"
#include "tw/handles.h"

#include <windows.h>

namespace tickwell {

class AddServerDialog final : public tw::Dialog {
  public:
    AddServerDialog(HINSTANCE instance, Settings& settings);

    // Runs the dialog modally: 1 when a server was added, 0 after Cancel or the
    // close box.
    INT_PTR run(HWND owner);

  protected:
    bool onInit() override;
    bool onCommand(int id, int code, HWND control) override;

  private:
    void add();

    HINSTANCE instance_;
    Settings& settings_;
    tw::unique_hicon bigIcon_;
};

} // namespace tickwell
