// The options dialog: three tab pages ("General", "Network", "Format") over the
// settings, and OK, Cancel and Apply. The pages are child dialogs of the dialog
// (templates IDD_OPTIONS_*), one handler class for the three; what they show,
// what a click enables and what Apply stores are the rules of options_rules.h.
// A few effects are immediate and outlive Cancel: a server chosen in the drop
// list, a server added, a tray icon confirmed in the chooser.
#pragma once

#include "settings.h"
#include "tw/dialog.h"
#include "tw/handles.h"

#include <windows.h>

#include <array>
#include <functional>

namespace tickwell {

class OptionsDialog;

// One tab page: a child dialog whose controls the options dialog reads and sets.
class OptionsPage final : public tw::Dialog {
  public:
    explicit OptionsPage(OptionsDialog& owner) : owner_(owner) {}
    using Dialog::check;
    using Dialog::enable;
    using Dialog::isChecked;
    using Dialog::item;
    using Dialog::setText;
    using Dialog::text;

  protected:
    bool onInit() override { return false; }
    bool onCommand(int id, int code, HWND control) override;

  private:
    OptionsDialog& owner_;
};

// What the dialog asks of the window that opened it. Any part may be left empty.
struct OptionsHost {
    // Shows or hides the main window's status bar, as Apply asks.
    std::function<void(bool shown)> showStatusBar;
    // Apply stored the settings (the dialog may stay open).
    std::function<void()> settingsApplied;
    // "Tray Icon" was changed in the chooser: show the new picture.
    std::function<void()> trayIconChanged;
    // The tray icon clicked last in the chooser (0 before any click); the
    // host keeps it from one opening to the next.
    int pendingTrayIcon = 0;
};

class OptionsDialog final : public tw::Dialog {
  public:
    OptionsDialog(HINSTANCE instance, Settings& settings, OptionsHost& host);

    // Runs the dialog modally: 1 after OK, 0 after Cancel or the close box.
    INT_PTR run(HWND owner);

  protected:
    bool onInit() override;
    bool onCommand(int id, int code, HWND control) override;
    bool onNotify(const NMHDR& header) override;

  private:
    friend class OptionsPage;
    bool onPageCommand(int id, int code, HWND control);
    // The page that holds the control (ids are unique across the pages but for
    // the picture, which no rule touches).
    OptionsPage& pageOf(int id);
    void createPages();
    void showView();
    void showServiceSchedule();
    void refreshEnabling();
    void markChanged();
    void selectPage(int index, bool shown);
    void chooseServer();
    void addServer();
    void browseNtsCaFile();
    // Apply: false when a number was refused, and nothing was applied.
    bool apply();

    HINSTANCE instance_;
    Settings& settings_;
    OptionsHost& host_;
    std::array<OptionsPage, 3> pages_;
    tw::unique_hicon bigIcon_;
};

} // namespace tickwell
