#include "history_window.h"

#include "identity.h"
#include "library_calls.h"
#include "options_rules.h"
#include "program_ids.h"
#include "program_seams.h"
#include "tw/change_limit.h"
#include "tw/handles.h"

#include <commdlg.h>

#include <algorithm>
#include <cstdlib>

namespace tickwell {

namespace {

struct Bound {
    const char* text;
    int64_t ms;
};
constexpr Bound kBounds[] = {{"1 s", 1000}, {"100 ms", 100}, {"10 ms", 10}};

constexpr int kRangeButtons[] = {IDC_HISTORY_DAY, IDC_HISTORY_WEEK, IDC_HISTORY_MONTH,
                                 IDC_HISTORY_ALL};
// Under the plot: moved down as the window grows; these also widen with it,
// and these keep to the right edge.
constexpr int kWideTexts[] = {IDC_HISTORY_DRIFT, IDC_HISTORY_LAST, IDC_HISTORY_COUNTS,
                              IDC_HISTORY_SUGGESTION};
constexpr int kRightButtons[] = {IDC_HISTORY_EXPORT, IDC_HISTORY_COPY, IDCANCEL};

// The window whose keyboard (Tab, the mnemonics, Esc) is handled here: the
// program's message loop is the main window's modal one, which knows only it.
HWND gKeyboardWindow = nullptr;
HHOOK gKeyboardHook = nullptr;

LRESULT CALLBACK keyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    auto* message = reinterpret_cast<MSG*>(lParam);
    if (code >= 0 && wParam == PM_REMOVE && gKeyboardWindow != nullptr &&
        message->message >= WM_KEYFIRST && message->message <= WM_KEYLAST &&
        (message->hwnd == gKeyboardWindow || ::IsChild(gKeyboardWindow, message->hwnd)) &&
        ::IsDialogMessageA(gKeyboardWindow, message)) {
        message->message = WM_NULL;
    }
    return ::CallNextHookEx(gKeyboardHook, code, wParam, lParam);
}

std::string differenceWords(int64_t differenceMs) {
    const int64_t size = std::llabs(differenceMs);
    if (size == 0)
        return "PC clock matched";
    std::string amount;
    if (size < 10'000) {
        amount = std::to_string(size) + " ms";
    } else {
        const int64_t tenths = (size + 50) / 100;
        amount = std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s";
    }
    return "PC clock " + amount + (differenceMs > 0 ? " fast" : " slow");
}

} // namespace

HistoryWindow::HistoryWindow(HINSTANCE instance, HistoryHost host)
    : instance_(instance), host_(std::move(host)) {}

HistoryWindow::~HistoryWindow() {
    // Its owner, the main window, usually took it along when it was destroyed.
    if (isOpen())
        destroy();
}

void HistoryWindow::open(HWND owner) {
    if (isOpen()) {
        if (::IsIconic(window()))
            ::ShowWindow(window(), SW_RESTORE);
        ::SetForegroundWindow(window());
        return;
    }
    if (create(instance_, IDD_HISTORY, owner) == nullptr)
        return;
    ::ShowWindow(window(), SW_SHOW);
}

bool HistoryWindow::onInit() {
    RECT client{};
    ::GetClientRect(window(), &client);
    templateClient_ = {client.right, client.bottom};
    RECT outer{};
    ::GetWindowRect(window(), &outer);
    minimumWindow_ = {outer.right - outer.left, outer.bottom - outer.top};
    for (HWND child = ::GetWindow(window(), GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT r{};
        ::GetWindowRect(child, &r);
        ::MapWindowPoints(nullptr, window(), reinterpret_cast<POINT*>(&r), 2);
        placed_.push_back({::GetDlgCtrlID(child), r});
    }
    for (const Bound& b : kBounds)
        ::SendDlgItemMessageA(window(), IDC_HISTORY_BOUND, CB_ADDSTRING, 0,
                              reinterpret_cast<LPARAM>(b.text));
    ::SendDlgItemMessageA(window(), IDC_HISTORY_BOUND, CB_SETCURSEL, 0, 0);
    check(IDC_HISTORY_WEEK, true);
    // Beside the main window rather than over it.
    if (HWND owner = ::GetWindow(window(), GW_OWNER)) {
        RECT main{};
        ::GetWindowRect(owner, &main);
        HMONITOR monitor = ::MonitorFromRect(&main, MONITOR_DEFAULTTONEAREST);
        MONITORINFO info{};
        info.cbSize = sizeof info;
        ::GetMonitorInfoA(monitor, &info);
        int x = main.right + 8, y = main.top;
        if (x + minimumWindow_.cx > info.rcWork.right)
            x = std::max(info.rcWork.left, static_cast<LONG>(info.rcWork.right - minimumWindow_.cx));
        if (y + minimumWindow_.cy > info.rcWork.bottom)
            y = std::max(info.rcWork.top, static_cast<LONG>(info.rcWork.bottom - minimumWindow_.cy));
        ::SetWindowPos(window(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    gKeyboardWindow = window();
    if (gKeyboardHook == nullptr)
        gKeyboardHook = ::SetWindowsHookExA(WH_GETMESSAGE, keyboardHook, nullptr,
                                            ::GetCurrentThreadId());
    refresh();
    return true;
}

void HistoryWindow::onDestroy() {
    if (gKeyboardWindow == window())
        gKeyboardWindow = nullptr;
    if (gKeyboardHook != nullptr) {
        ::UnhookWindowsHookEx(gKeyboardHook);
        gKeyboardHook = nullptr;
    }
    placed_.clear();
}

void HistoryWindow::refresh() {
    if (!isOpen())
        return;
    records_ = host_.records();
    drift_ = history::estimateDrift(records_);
    updateTexts();
    ::InvalidateRect(item(IDC_HISTORY_PLOT), nullptr, FALSE);
}

int64_t HistoryWindow::boundMs() const {
    const LRESULT chosen = ::SendDlgItemMessageA(window(), IDC_HISTORY_BOUND, CB_GETCURSEL, 0, 0);
    return chosen >= 0 && chosen < static_cast<LRESULT>(std::size(kBounds)) ? kBounds[chosen].ms
                                                                            : kBounds[0].ms;
}

void HistoryWindow::updateTexts() {
    setText(IDC_HISTORY_DRIFT, history::driftText(drift_));
    std::string last = "Last check: none yet";
    for (auto r = records_.rbegin(); r != records_.rend(); ++r) {
        if (r->kind == history::Kind::ClockChanged)
            continue;
        last = "Last check: " + host_.timeText(r->utcMs) + ", " + r->server + ", " +
               (r->result == history::Result::Failed ? std::string("failed")
                : r->differenceMs                    ? differenceWords(*r->differenceMs)
                                                     : std::string("no difference measured"));
        if (r->clockSet)
            last += ", set";
        else if (r->result == history::Result::Refused)
            last += ", not set (beyond the limit)";
        break;
    }
    setText(IDC_HISTORY_LAST, last);
    setText(IDC_HISTORY_COUNTS, history::countsText(records_));
    const bool suggested = drift_ && history::intervalForBound(*drift_, boundMs()).has_value();
    setText(IDC_HISTORY_SUGGESTION,
            suggested ? history::suggestionText(*drift_, boundMs()) : std::string());
    enable(IDC_HISTORY_APPLY, suggested);
}

std::string HistoryWindow::summary() const {
    std::string text;
    for (int id : {IDC_HISTORY_DRIFT, IDC_HISTORY_LAST, IDC_HISTORY_COUNTS, IDC_HISTORY_SUGGESTION}) {
        const std::string line = this->text(id);
        if (!line.empty())
            text += line + "\r\n";
    }
    return text;
}

void HistoryWindow::applySuggestion() {
    if (!drift_)
        return;
    std::vector<int> offered;
    for (const IntervalOption& option : kIntervalOptions)
        offered.push_back(option.minutes);
    const int minutes = history::suggestedChoice(*drift_, boundMs(), offered);
    host_.applyInterval(minutes);
    setText(IDC_HISTORY_SUGGESTION,
            "Tickwell now sets the clock every " +
                tw::durationWords(static_cast<uint64_t>(minutes) * 60));
}

void HistoryWindow::exportRecords() {
    char file[MAX_PATH] = "tickwell-history.csv";
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window();
    dialog.lpstrFilter = "CSV files (*.csv)\0*.csv\0All files\0*.*\0";
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof file;
    dialog.lpstrDefExt = "csv";
    dialog.lpstrTitle = "Export the history";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!::GetSaveFileNameA(&dialog))
        return;
    std::string bytes = history::csvHeader();
    for (const history::Record& r : host_.records())
        bytes += history::csvLine(r);
    tw::unique_file out(::CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!out ||
        !::WriteFile(out.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        const auto error = static_cast<int32_t>(::GetLastError());
        const std::string message = std::string("The history could not be saved to ") + file +
                                    ": " + lib::errorDescription(error);
        messageBox().show(window(), message.c_str(), kProgramName, MB_ICONEXCLAMATION | MB_OK);
    }
}

void HistoryWindow::copySummary() {
    const std::string text = summary();
    if (!::OpenClipboard(window()))
        return;
    ::EmptyClipboard();
    if (HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
        if (void* bytes = ::GlobalLock(memory)) {
            std::copy(text.c_str(), text.c_str() + text.size() + 1, static_cast<char*>(bytes));
            ::GlobalUnlock(memory);
            if (::SetClipboardData(CF_TEXT, memory) == nullptr)
                ::GlobalFree(memory);
        } else {
            ::GlobalFree(memory);
        }
    }
    ::CloseClipboard();
}

bool HistoryWindow::onCommand(int id, int code, HWND /*control*/) {
    switch (id) {
    case IDC_HISTORY_DAY:
    case IDC_HISTORY_WEEK:
    case IDC_HISTORY_MONTH:
    case IDC_HISTORY_ALL:
        if (code == BN_CLICKED) {
            range_ = static_cast<HistoryRange>(id - IDC_HISTORY_DAY);
            ::InvalidateRect(item(IDC_HISTORY_PLOT), nullptr, FALSE);
        }
        return true;
    case IDC_HISTORY_BOUND:
        if (code == CBN_SELCHANGE)
            updateTexts();
        return true;
    case IDC_HISTORY_APPLY:
        if (code == BN_CLICKED)
            applySuggestion();
        return true;
    case IDC_HISTORY_EXPORT:
        if (code == BN_CLICKED)
            exportRecords();
        return true;
    case IDC_HISTORY_COPY:
        if (code == BN_CLICKED)
            copySummary();
        return true;
    case IDCANCEL:
        destroy();
        return true;
    default:
        return false;
    }
}

void HistoryWindow::layout() {
    RECT client{};
    ::GetClientRect(window(), &client);
    const int dx = std::max(0L, client.right - templateClient_.cx);
    const int dy = std::max(0L, client.bottom - templateClient_.cy);
    HDWP positions = ::BeginDeferWindowPos(static_cast<int>(placed_.size()));
    for (const Placed& p : placed_) {
        RECT r = p.rect;
        if (p.id == IDC_HISTORY_PLOT) {
            r.right += dx;
            r.bottom += dy;
        } else {
            ::OffsetRect(&r, 0, dy);
            if (std::find(std::begin(kWideTexts), std::end(kWideTexts), p.id) != std::end(kWideTexts))
                r.right += dx;
            if (std::find(std::begin(kRightButtons), std::end(kRightButtons), p.id) !=
                std::end(kRightButtons))
                ::OffsetRect(&r, dx, 0);
        }
        if (positions != nullptr)
            positions = ::DeferWindowPos(positions, item(p.id), nullptr, r.left, r.top,
                                         r.right - r.left, r.bottom - r.top,
                                         SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (positions != nullptr)
        ::EndDeferWindowPos(positions);
    ::InvalidateRect(window(), nullptr, TRUE);
}

void HistoryWindow::drawPlot(const DRAWITEMSTRUCT& drawn) const {
    const RECT& area = drawn.rcItem;
    const int width = area.right - area.left, height = area.bottom - area.top;
    // Drawn off screen, then copied in one go: no flicker while resizing.
    tw::unique_hdc memory(::CreateCompatibleDC(drawn.hDC));
    tw::unique_hbitmap picture(::CreateCompatibleBitmap(drawn.hDC, width, height));
    if (!memory || !picture)
        return;
    HGDIOBJ oldBitmap = ::SelectObject(memory.get(), picture.get());
    HGDIOBJ oldFont = ::SelectObject(
        memory.get(), reinterpret_cast<HFONT>(::SendMessageA(window(), WM_GETFONT, 0, 0)));
    const RECT local{0, 0, width, height};
    const int64_t now = host_.nowMs();
    drawHistoryPlot(memory.get(), local, records_, plotSpan(range_, records_, now), drift_,
                    ::GetDeviceCaps(drawn.hDC, LOGPIXELSY));
    ::BitBlt(drawn.hDC, area.left, area.top, width, height, memory.get(), 0, 0, SRCCOPY);
    ::SelectObject(memory.get(), oldFont);
    ::SelectObject(memory.get(), oldBitmap);
}

INT_PTR HistoryWindow::onMessage(UINT message, WPARAM /*wParam*/, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        if (!placed_.empty())
            layout();
        return TRUE;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        if (minimumWindow_.cx > 0) {
            info->ptMinTrackSize.x = minimumWindow_.cx;
            info->ptMinTrackSize.y = minimumWindow_.cy;
        }
        return TRUE;
    }
    case WM_DRAWITEM: {
        const auto* drawn = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (drawn->CtlID != IDC_HISTORY_PLOT)
            return FALSE;
        drawPlot(*drawn);
        return TRUE;
    }
    default:
        return 0;
    }
}

} // namespace tickwell
