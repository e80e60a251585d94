#include "tray_icon_chooser.h"

#include "options_rules.h"
#include "program_ids.h"
#include "program_title.h"

#include <string>

namespace tickwell {

TrayIconChooser::TrayIconChooser(HINSTANCE instance, Settings& settings, int& pendingTrayIcon)
    : instance_(instance), settings_(settings), pendingTrayIcon_(pendingTrayIcon) {}

INT_PTR TrayIconChooser::run(HWND owner) {
    return runModal(instance_, IDD_TRAY_CHOOSER, owner);
}

bool TrayIconChooser::onInit() {
    bigIcon_ = showProgramTitle(window(), instance_);
    for (int n = 1; n <= kTrayIconCount; ++n) {
        icons_[n - 1].reset(static_cast<HICON>(::LoadImageA(
            instance_, MAKEINTRESOURCEA(IDI_TRAY_BASE + n), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
        ::SendDlgItemMessageA(window(), IDC_TRAY_ICON_BASE + n, BM_SETIMAGE, IMAGE_ICON,
                              reinterpret_cast<LPARAM>(icons_[n - 1].get()));
    }
    // The icon "&Ok" would confirm stands pressed: the last click, else the one in force.
    const int shown = confirmedTrayIcon(pendingTrayIcon_, settings_.trayIcon);
    if (shown >= 1 && shown <= kTrayIconCount)
        check(IDC_TRAY_ICON_BASE + shown, true);
    // Not on an icon: a radio button given the focus by the dialog clicks itself.
    ::SetFocus(item(IDC_CHOOSER_OK));
    return false;
}

bool TrayIconChooser::onCommand(int id, int code, HWND /*control*/) {
    if (id > IDC_TRAY_ICON_BASE && id <= IDC_TRAY_ICON_BASE + kTrayIconCount) {
        if (code == BN_CLICKED)
            pendingTrayIcon_ = id - IDC_TRAY_ICON_BASE;
        return true;
    }
    switch (id) {
    case IDC_CHOOSER_OK:
        settings_.trayIcon = confirmedTrayIcon(pendingTrayIcon_, settings_.trayIcon);
        end(1);
        return true;
    case IDC_CHOOSER_CANCEL:
    case IDCANCEL: // the close box and Escape
        end(0);
        return true;
    default:
        return false;
    }
}

} // namespace tickwell
