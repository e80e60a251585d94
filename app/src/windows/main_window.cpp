#include "main_window.h"

#include "data_folder.h"
#include "event_log.h"
#include "history_file.h"
#include "settings_store.h"
#include "identity.h"
#include "library_calls.h"
#include "main_menus.h"
#include "nts_ca_file.h"
#include "program_ids.h"
#include "program_title.h"
#include "program_seams.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <span>

namespace tickwell {

namespace {

constexpr UINT kClockPeriodMs = 1000;
// The status bar's room: the window grows by this much while it is shown.
constexpr int kStatusBarDialogUnits = 15;
constexpr int kValueFontPoints = 8;

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

struct ToolButton {
    int command;
    int icon;
    const char* tip;
};
// The tips of Check and Set are also their menu texts (main_menus.h).
constexpr std::array<ToolButton, 7> kToolButtons = {{
    {CMD_EXIT, IDI_EXIT, "Exit Tickwell"},
    {CMD_CHECK, IDI_CHECK, kCheckText},
    {CMD_SET, IDI_SET, kSetText},
    {CMD_OPTIONS, IDI_OPTIONS, "&Options"},
    {CMD_LOGFILE, IDI_LOG, "View Logfile"},
    {CMD_ABOUT, IDI_ABOUT, "About Tickwell"},
    {CMD_HELP, IDI_HELP, "Help"},
}};

// The outside work the program carries (in zymdate.dll), with its licence; the
// licence's text lies beside the program as OpenSSL-LICENSE.txt. One line of the
// About box: "Authenticated time (NTS) uses ..., licensed under ..." took two,
// and the box cut the second.
constexpr char kOpenSslCredit[] = "NTS uses OpenSSL " TW_OPENSSL_VERSION " (Apache License 2.0)";

} // namespace

HFONT MakeFont(const char* face, int points) {
    constexpr int kPointsPerInch = 72;
    const int height = -(points * screen().dpi() / kPointsPerInch);
    return ::CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                         OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
}

MainWindow::MainWindow(HINSTANCE instance, Settings& settings, bool startHidden)
    : instance_(instance), settings_(settings), startHidden_(startHidden),
      cycle_(settings, services_, kCreditLine) {
    optionsHost_.showStatusBar = [this](bool shown) { showStatusBar(shown); };
    optionsHost_.settingsApplied = [this] { applyNtsCaFile(); };
    optionsHost_.trayIconChanged = [this] {
        if (tray_->shown())
            tray_->replace(settings_.trayIcon);
    };
    HistoryHost host;
    host.records = [] { return programHistory().read(); };
    host.nowMs = utcNowMs;
    host.timeText = [this](int64_t utcMs) { return services_.formatTime(localTimeOf(utcMs)); };
    host.applyInterval = [this](int minutes) {
        settings_.autoSetTime = true;
        settings_.interval = minutes;
        settings_.nextCheckText = services_.nextCheckText(minutes);
        SaveSettings(settings_);
    };
    history_ = std::make_unique<HistoryWindow>(instance_, std::move(host));
}

INT_PTR MainWindow::run() {
    return runModal(instance_, IDD_MAIN, nullptr);
}

bool MainWindow::onInit() {
    appIcon_ = showProgramTitle(window(), instance_);
    setButtonIcons();
    menuBar_.reset(buildMenuBar(settings_.showStatusBar));
    trayMenu_.reset(buildTrayMenu(settings_.showStatusBar));
    ::SetMenu(window(), menuBar_.get());
    statusBar_ = item(IDC_STATUSBAR);
    addToolTips();
    taskbarCreated_ = ::RegisterWindowMessageA("TaskbarCreated");

    ::SetWindowPos(window(), settings_.stayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE);
    const std::string tip = std::string(kProgramName) + " " + kVersionText;
    tray_ = std::make_unique<TrayIconArea>(window(), instance_, tip);
    showTrayIcon();

    blackBrush_.reset(::CreateSolidBrush(kBlack));
    valueFont_.reset(MakeFont("Arial", kValueFontPoints));
    for (int id : {IDC_PC_TIME, IDC_SERVER_TIME, IDC_DIFFERENCE})
        ::SendDlgItemMessageA(window(), id, WM_SETFONT, reinterpret_cast<WPARAM>(valueFont_.get()),
                              TRUE);
    refreshPcTime();
    ::SetWindowTextA(statusBar_, tip.c_str());

    statusBarShown_ = settings_.showStatusBar;
    if (!statusBarShown_)
        ::ShowWindow(statusBar_, SW_HIDE);
    else
        growBy(kStatusBarDialogUnits);
    ::SetTimer(window(), IDT_CLOCK, kClockPeriodMs, nullptr);
    if (settings_.showStatusBar)
        ::SetWindowTextA(statusBar_, kCreditLine);
    if (settings_.logEvents)
        LogEvent(std::string(kProgramName) + " started");
    applyNtsCaFile(); // before the first tick, which may start a scheduled Set
    return true;
}

void MainWindow::setButtonIcons() {
    // The pictures fill the 25-unit buttons less a small margin.
    const SIZE button = dialogUnits(25, 25);
    const int side = std::min(button.cx, button.cy) >= 40 ? 32 : 24;
    for (size_t i = 0; i < kToolButtons.size(); ++i) {
        buttonIcons_[i].reset(
            static_cast<HICON>(::LoadImageA(instance_, MAKEINTRESOURCEA(kToolButtons[i].icon),
                                            IMAGE_ICON, side, side, LR_DEFAULTCOLOR)));
        ::SendDlgItemMessageA(window(), kToolButtons[i].command, BM_SETIMAGE, IMAGE_ICON,
                              reinterpret_cast<LPARAM>(buttonIcons_[i].get()));
    }
}

// The tips' window has no owner: a window that owns a topmost one (a tip
// window is) is not made topmost itself by "Stay on top" under Wine.
void MainWindow::addToolTips() {
    toolTips_.reset(::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                      instance_, nullptr));
    const auto addTool = [this](HWND control, const char* text) {
        TTTOOLINFOA tool{};
        tool.cbSize = TTTOOLINFOA_V1_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window();
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = const_cast<char*>(text);
        ::SendMessageA(toolTips_.get(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    };
    for (const ToolButton& button : kToolButtons)
        addTool(item(button.command), button.tip);
    // The status bar's tip is its text while the bar cuts it (setStatus).
    addTool(statusBar_, "");
}

bool MainWindow::onCommand(int id, int code, HWND /*control*/) {
    switch (id) {
    case CMD_EXIT:
        if (code == 0)
            exitProgram();
        return true;
    case CMD_CHECK:
        startQuery(QueryKind::Check);
        return true;
    case CMD_SET:
        startQuery(QueryKind::Set);
        return true;
    case CMD_OPTIONS:
        openOptions();
        return true;
    case CMD_LOGFILE:
        openIfExists(dataFolder() + kLogFileName);
        return true;
    case CMD_HISTORY:
        history_->open(window());
        return true;
    case CMD_ABOUT: {
        HICON icon = ::LoadIconA(instance_, MAKEINTRESOURCEA(IDI_CHECK));
        lib::showAbout(window(), kProgramName, kVersionText,
                       std::string(kCredit1) + "\n" + kOpenSslCredit,
                       std::string(kCredit2) + "\n" + dataFolderWords(), kWebAddress, icon);
        return true;
    }
    case CMD_HELP:
        openIfExists(lib::appPath() + "help\\Index.html");
        return true;
    case CMD_STATUSBAR_TOGGLE:
        toggleStatusBar();
        return true;
    case CMD_RESTORE:
        if (hidden())
            restore();
        return true;
    case CMD_UPDATES:
        shellOpen().shellExecute(nullptr, "open", kWebAddress, nullptr, nullptr, SW_SHOWNORMAL);
        return true;
    default:
        return false;
    }
}

bool MainWindow::onTimer(UINT_PTR timerId) {
    if (timerId != IDT_CLOCK)
        return false;
    keepTrayIcon();
    constexpr int kServiceAskTicks = 60;
    if (++ticksSinceServiceAsked_ >= kServiceAskTicks) {
        ticksSinceServiceAsked_ = 0;
        recordServiceSet();
    }
    // The outcome of a query whose worker could not report it: the slot comes back.
    if (std::optional<QueryResult> lost = worker_.lostQuery())
        apply(cycle_.queryFinished(*lost));
    apply(cycle_.tick());
    return true;
}

void MainWindow::showTrayIcon() {
    if (settings_.runInSystemTray && !tray_->shown())
        tray_->add(settings_.trayIcon);
}

// An icon the shell refused (no notification area yet, as at a logon) is asked
// for again at every tick; a hidden window still without one after the grace
// time comes back on screen.
void MainWindow::keepTrayIcon() {
    showTrayIcon();
    if (tray_->shown() || !hidden()) {
        ticksWithoutTrayIcon_ = 0;
        return;
    }
    if (++ticksWithoutTrayIcon_ >= kTrayGraceTicks) {
        ticksWithoutTrayIcon_ = 0;
        restore();
    }
}

bool MainWindow::onFailure(const char* what) {
    // Logged whatever "Log events" says, once for a fault that repeats at every tick.
    const std::string entry = std::string("Internal error: ") + what;
    if (entry != lastInternalError_) {
        lastInternalError_ = entry;
        LogEvent(entry);
    }
    return true;
}

void MainWindow::onDestroy() {
    if (tray_)
        tray_->remove();
    ::KillTimer(window(), IDT_CLOCK);
    // The menus are this object's; the window must not destroy them with itself.
    ::SetMenu(window(), nullptr);
    blackBrush_.reset();
    valueFont_.reset();
    toolTips_.reset();
}

INT_PTR MainWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        // A new taskbar knows no icons: put ours back.
        if (settings_.runInSystemTray)
            tray_->add(settings_.trayIcon);
        return 0;
    }
    switch (message) {
    case WM_WINDOWPOSCHANGING:
        // Started with "-minimize": the dialog manager's first show is dropped.
        if (auto* position = reinterpret_cast<WINDOWPOS*>(lParam);
            startHidden_ && (position->flags & SWP_SHOWWINDOW) != 0) {
            position->flags &= ~SWP_SHOWWINDOW;
            startHidden_ = false;
        }
        return 0;
    case WM_SIZE:
        ::SendMessageA(statusBar_, WM_SIZE, wParam, lParam);
        return 0;
    case WM_MENUSELECT: {
        UINT noHelp[2] = {0, 0};
        ::MenuHelp(WM_MENUSELECT, wParam, lParam, menuBar_.get(), instance_, statusBar_, noHelp);
        return 0;
    }
    case WM_CTLCOLORSTATIC:
        return onColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_TRAY_CALLBACK:
        return onTrayCallback(LOWORD(lParam));
    case WM_QUERYENDSESSION:
        exitProgram();
        ::PostQuitMessage(0);
        setResult(TRUE); // Windows may go on to log off or shut down
        return TRUE;
    case WM_SYSCOMMAND:
        return onSysCommand(wParam);
    case WM_SETCURSOR:
        if (waitCursor_ && LOWORD(lParam) == HTCLIENT) {
            ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
            setResult(TRUE);
            return TRUE;
        }
        return 0;
    case WM_TIMECHANGE:
        // The clock was set (by us or anyone): show the new time now, not at the next tick.
        refreshPcTime();
        clockChanged();
        return 0;
    case WM_QUERY_DONE: {
        const std::unique_ptr<QueryResult> result = worker_.take(lParam);
        if (result->kind == QueryKind::Set) {
            setRunning_ = false;
            lastSetEndedMs_ = localClock().tickCount();
        }
        apply(cycle_.queryFinished(*result));
        return TRUE;
    }
    case WM_QUERY_PROGRESS: {
        const std::unique_ptr<std::string> text(reinterpret_cast<std::string*>(lParam));
        apply(cycle_.queryProgress(*text));
        return TRUE;
    }
    default:
        return 0;
    }
}

INT_PTR MainWindow::onColorStatic(HDC dc, HWND control) {
    switch (::GetDlgCtrlID(control)) {
    case IDC_SERVER_TIME:
        ::SetTextColor(dc, kGreen);
        ::SetBkMode(dc, TRANSPARENT);
        break;
    case IDC_PC_TIME:
        ::SetTextColor(dc, kYellow);
        ::SetBkColor(dc, kBlack);
        break;
    case IDC_DIFFERENCE:
        ::SetTextColor(dc, cycle_.clockMatches() != 0 ? kGreen : kRed);
        ::SetBkColor(dc, kBlack);
        break;
    default:
        return 0;
    }
    return reinterpret_cast<INT_PTR>(blackBrush_.get());
}

INT_PTR MainWindow::onTrayCallback(UINT mouseMessage) {
    if (!hidden())
        return 0; // while the window is shown the tray icon does nothing
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        restore();
        return TRUE;
    case WM_RBUTTONDOWN: {
        ::SetForegroundWindow(window());
        POINT at{};
        ::GetCursorPos(&at);
        ::TrackPopupMenu(trayMenu_.get(), 0, at.x, at.y, 0, window(), nullptr);
        ::PostMessageA(window(), WM_NULL, 0, 0);
        return TRUE;
    }
    default:
        return 0;
    }
}

INT_PTR MainWindow::onSysCommand(WPARAM command) {
    // The four low bits are the system's own.
    switch (command & 0xFFF0) {
    case SC_MINIMIZE:
        if (!settings_.runInSystemTray)
            return 0;
        hideToTray();
        return TRUE;
    case SC_CLOSE:
        if (settings_.runInSystemTray)
            hideToTray();
        else
            exitProgram();
        return TRUE;
    default:
        return 0;
    }
}

void MainWindow::startQuery(QueryKind kind) {
    CycleEffects effects = cycle_.command(kind);
    apply(effects);
}

void MainWindow::apply(const CycleEffects& effects) {
    if (effects.waitCursor) {
        waitCursor_ = *effects.waitCursor;
        POINT at{};
        ::GetCursorPos(&at);
        if (::WindowFromPoint(at) == window() || ::IsChild(window(), ::WindowFromPoint(at)))
            ::SetCursor(::LoadCursor(nullptr, waitCursor_ ? IDC_WAIT : IDC_ARROW));
    }
    if (effects.sound == Sound::Start)
        lib::playSound(instance_, "WAVE2", "WAV02");
    if (effects.statusText)
        setStatus(*effects.statusText);
    if (effects.serverTimeText)
        setText(IDC_SERVER_TIME, *effects.serverTimeText);
    if (effects.pcTimeText)
        setText(IDC_PC_TIME, *effects.pcTimeText);
    if (effects.differenceText)
        setText(IDC_DIFFERENCE, *effects.differenceText);
    if (effects.sound == Sound::Success)
        lib::playSound(instance_, "WAVE3", "WAV03");
    for (const std::string& entry : effects.logEntries)
        LogEvent(entry);
    if (effects.historyRecord)
        recordHistory(*effects.historyRecord);
    if (effects.redrawValues) {
        for (int id : {IDC_SERVER_TIME, IDC_PC_TIME, IDC_DIFFERENCE})
            ::InvalidateRect(item(id), nullptr, TRUE);
    }
    if (effects.startQuery && effects.startQuery->kind == QueryKind::Set)
        setRunning_ = true;
    if (effects.startQuery && !worker_.start(window(), *effects.startQuery)) {
        QueryResult failed;
        failed.kind = effects.startQuery->kind;
        failed.server = effects.startQuery->server;
        failed.message = "The time query could not be started: the system is out of resources";
        apply(cycle_.queryFinished(failed));
    }
}

void MainWindow::recordHistory(const history::Record& record) {
    const std::string failure = programHistory().append(record);
    if (!failure.empty()) {
        LogEvent(failure);
        if (settings_.showStatusBar)
            setStatus(failure);
    }
    history_->refresh();
}

void MainWindow::applyNtsCaFile() {
    const std::string path = ntsCaFilePath(settings_);
    if (lib::setNtsCaFile(path))
        return;
    // The library keeps the file it had: the text below would not be true.
    lib::setNtsCaFile("");
    const std::string text = ntsCaFileUnreadableText(path);
    if (settings_.logEvents)
        LogEvent(text);
    if (settings_.showStatusBar)
        setStatus(text);
}

// The last set on the Tickwell Time service's own schedule, kept once in the
// history as an automatic set (the program's checks and sets are kept as they
// end). True when it was made within the last minute: it explains a time change.
bool MainWindow::recordServiceSet() {
    constexpr uint32_t kStatusWaitMs = 500;
    constexpr int64_t kRecentMs = 60'000;
    if (!settings_.logEvents)
        return false;
    const service::ClientAnswer answer =
        timeService().ask(service::Request{service::Verb::Status, {}}, kStatusWaitMs);
    if (!answer.reply || !answer.reply->scheduledAt)
        return false;
    const service::Reply& status = *answer.reply;
    const int64_t at = utcMsOf(*status.scheduledAt);
    const bool recent = utcNowMs() - at < kRecentMs;
    if (at == lastServiceSetMs_)
        return recent;
    lastServiceSetMs_ = at;
    history::Record set;
    set.utcMs = at;
    set.kind = history::Kind::AutoSet;
    set.server = status.server;
    if (!status.changeMs) {
        set.result = history::Result::Failed;
    } else {
        set.result = !status.clockSet && status.difference.rfind("Not set:", 0) == 0
                         ? history::Result::Refused
                         : history::Result::Ok;
        set.differenceMs = -static_cast<int64_t>(std::llround(*status.changeMs));
        set.delayMs = static_cast<int64_t>(std::llround(status.delayMs));
        set.clockSet = status.clockSet;
    }
    // Once, even across runs of the program.
    const std::vector<history::Record> kept = programHistory().read();
    if (std::none_of(kept.begin(), kept.end(), [&](const history::Record& r) {
            return r.utcMs == at && r.kind == history::Kind::AutoSet && r.server == set.server;
        }))
        recordHistory(set);
    return recent;
}

// A time-change notice that none of the program's own sets explains: someone
// else changed the clock, and no drift is measured across that.
void MainWindow::clockChanged() {
    constexpr ULONGLONG kOwnSetEchoMs = 5'000;
    if (setRunning_ || (lastSetEndedMs_ != 0 &&
                        localClock().tickCount() - lastSetEndedMs_ < kOwnSetEchoMs))
        return;
    if (!settings_.logEvents || recordServiceSet())
        return;
    history::Record changed;
    changed.kind = history::Kind::ClockChanged;
    recordHistory(changed);
}

void MainWindow::setStatus(const std::string& text) {
    ::SetWindowTextA(statusBar_, text.c_str());
    // The bar is narrower than many texts (a failure's reason, a refused
    // change, the servers outvoted): a text it cuts shows whole in a tip.
    std::string tip;
    if (HDC dc = ::GetDC(statusBar_)) {
        const HGDIOBJ old = ::SelectObject(
            dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(statusBar_, WM_GETFONT, 0, 0)));
        SIZE extent{};
        RECT room{};
        ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        ::GetClientRect(statusBar_, &room);
        ::SelectObject(dc, old);
        ::ReleaseDC(statusBar_, dc);
        // The bar draws its text inside a sunken border and a margin.
        if (extent.cx > room.right - ::GetSystemMetrics(SM_CXEDGE) * 4)
            tip = text;
        // Lines as wide as the bar, under it.
        ::SendMessageA(toolTips_.get(), TTM_SETMAXTIPWIDTH, 0, room.right);
    }
    TTTOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.hwnd = window();
    tool.uId = reinterpret_cast<UINT_PTR>(statusBar_);
    tool.lpszText = tip.data();
    ::SendMessageA(toolTips_.get(), TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::refreshPcTime() {
    setText(IDC_PC_TIME, services_.pcTimeText(settings_.displayLocalTime, settings_.datePicture,
                                              settings_.timePicture));
}

void MainWindow::exitProgram() {
    end(1);
}

bool MainWindow::hidden() const {
    return !::IsWindowVisible(window());
}

// The hidden window keeps its menu bar: a menu that is a window's menu cannot
// open as the pop-up at the tray icon. Without an icon to come back by, the
// window is only minimised.
void MainWindow::hideToTray() {
    showTrayIcon();
    ::ShowWindow(window(), tray_->shown() ? SW_HIDE : SW_MINIMIZE);
}

void MainWindow::restore() {
    ::ShowWindow(window(), SW_SHOW);
    ::SetForegroundWindow(window());
    ::SetFocus(window());
}

void MainWindow::toggleStatusBar() {
    const bool show = !statusBarShown_;
    settings_.showStatusBar = show;
    showStatusBar(show);
}

void MainWindow::showStatusBar(bool show) {
    if (show == statusBarShown_)
        return;
    statusBarShown_ = show;
    growBy(show ? kStatusBarDialogUnits : -kStatusBarDialogUnits);
    ::ShowWindow(statusBar_, show ? SW_SHOWNORMAL : SW_HIDE);
    if (show)
        ::SendMessageA(statusBar_, WM_SIZE, 0, 0);
    for (HMENU menu : {menuBar_.get(), trayMenu_.get()})
        ::CheckMenuItem(menu, CMD_STATUSBAR_TOGGLE,
                        MF_BYCOMMAND | (show ? MF_CHECKED : MF_UNCHECKED));
}

// The options dialog, then what it changed that the window shows: the z-order
// and the tray (its picture follows "Tray Icon" through the next tick).
void MainWindow::openOptions() {
    if (optionsOpen_) {
        // Asked again from the tray menu while open: bring the open one forward.
        if (HWND open = ::GetLastActivePopup(window()); open != window())
            ::SetForegroundWindow(open);
        return;
    }
    optionsOpen_ = true;
    OptionsDialog(instance_, settings_, optionsHost_).run(window());
    optionsOpen_ = false;

    ::SetWindowPos(window(), settings_.stayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE);
    if (settings_.runInSystemTray) {
        showTrayIcon();
    } else {
        // Without the tray a hidden window could not be reached again.
        tray_->remove();
        ::ShowWindow(window(), SW_SHOW);
    }
}

void MainWindow::growBy(int dialogUnits) {
    RECT frame{};
    ::GetWindowRect(window(), &frame);
    const SIZE extra = this->dialogUnits(0, dialogUnits < 0 ? -dialogUnits : dialogUnits);
    const int height = frame.bottom - frame.top + (dialogUnits < 0 ? -extra.cy : extra.cy);
    ::SetWindowPos(window(), nullptr, 0, 0, frame.right - frame.left, height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::openIfExists(const std::string& path) {
    if (lib::fileExists(path))
        shellOpen().shellExecute(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

} // namespace tickwell
