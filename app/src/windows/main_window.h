// The program's one window: seven tool buttons, the server time, PC time and
// difference on black, a status bar, the menu bar, and the icon in the
// notification area through which it hides and comes back. Check and Set and
// the one-second tick go to the check-and-set cycle; the query itself runs on
// the worker.
#pragma once

#include "cycle.h"
#include "cycle_readings.h"
#include "history_window.h"
#include "options_dialog.h"
#include "query_worker.h"
#include "settings.h"
#include "tray_icon.h"
#include "tw/dialog.h"
#include "tw/handles.h"

#include <windows.h>

#include <array>
#include <memory>
#include <string>

namespace tickwell {

// A window started hidden, or hidden to the tray, whose icon the shell still
// refuses after this many ticks is shown again: it must never be left with
// no way back.
inline constexpr int kTrayGraceTicks = 60;

// A font of the given face and size in points for the screen's dots per inch.
HFONT MakeFont(const char* face, int points);

class MainWindow final : public tw::Dialog {
  public:
    // startHidden: the window exists only as its tray icon until restored.
    MainWindow(HINSTANCE instance, Settings& settings, bool startHidden);

    // Runs the window modally until Exit; the program's message loop.
    INT_PTR run();

  protected:
    bool onInit() override;
    bool onCommand(int id, int code, HWND control) override;
    bool onTimer(UINT_PTR timerId) override;
    void onDestroy() override;
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    INT_PTR failureResult() const override { return 1; }
    bool onFailure(const char* what) override;

  private:
    void startQuery(QueryKind kind);
    void showTrayIcon();
    void keepTrayIcon();
    void apply(const CycleEffects& effects);
    void setStatus(const std::string& text);
    void refreshPcTime();
    void exitProgram();
    void hideToTray();
    void restore();
    void toggleStatusBar();
    void showStatusBar(bool shown);
    void openOptions();
    void growBy(int dialogUnits);
    void openIfExists(const std::string& path);
    void recordHistory(const history::Record& record);
    // Hands "NTS CA file" to the library; an unreadable file is said in the
    // status bar and the log, and the Windows store is used instead.
    void applyNtsCaFile();
    void clockChanged();
    bool recordServiceSet();
    void addToolTips();
    void setButtonIcons();
    bool hidden() const;
    INT_PTR onTrayCallback(UINT mouseMessage);
    INT_PTR onSysCommand(WPARAM command);
    INT_PTR onColorStatic(HDC dc, HWND control);

    HINSTANCE instance_;
    Settings& settings_;
    bool startHidden_;
    CycleReadings services_;
    OptionsHost optionsHost_;
    Cycle cycle_;
    QueryWorker worker_;
    tw::unique_hmenu menuBar_;
    tw::unique_hmenu trayMenu_;
    std::unique_ptr<TrayIconArea> tray_;
    tw::unique_hbrush blackBrush_;
    tw::unique_hfont valueFont_;
    std::array<tw::unique_hicon, 7> buttonIcons_;
    tw::unique_hicon appIcon_;
    tw::unique_hwnd toolTips_;
    HWND statusBar_ = nullptr;
    UINT taskbarCreated_ = 0;
    bool waitCursor_ = false;
    bool statusBarShown_ = false;
    bool optionsOpen_ = false;
    int ticksWithoutTrayIcon_ = 0;
    std::string lastInternalError_;
    std::unique_ptr<HistoryWindow> history_;
    // The program's own clock sets: a time-change notice while one runs, or
    // soon after, is not someone else's.
    bool setRunning_ = false;
    ULONGLONG lastSetEndedMs_ = 0;
    // The Tickwell Time service's own sets, as its STATUS tells the last one.
    int64_t lastServiceSetMs_ = 0;
    int ticksSinceServiceAsked_ = 0;
};

} // namespace tickwell
