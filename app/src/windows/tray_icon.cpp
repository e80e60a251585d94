#include "tray_icon.h"

#include "program_ids.h"
#include "program_seams.h"
#include "settings.h"
#include "tw/handles.h"

#include <shellapi.h>

#include <cstring>

namespace tickwell {

HICON TrayIcon(HINSTANCE instance, int n) {
    if (n < 1 || n > kTrayIconCount)
        return nullptr;
    return static_cast<HICON>(::LoadImageA(instance, MAKEINTRESOURCEA(IDI_TRAY_BASE + n),
                                           IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                           ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
}

TrayIconArea::TrayIconArea(HWND window, HINSTANCE instance, std::string tip)
    : window_(window), instance_(instance), tip_(std::move(tip)) {}

NOTIFYICONDATAA TrayIconArea::record(HICON icon) const {
    NOTIFYICONDATAA data{};
    // The first layout of the record: every shell since Windows 95 takes it.
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window_;
    data.uID = static_cast<UINT>(reinterpret_cast<UINT_PTR>(instance_));
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_TRAY_CALLBACK;
    data.hIcon = icon;
    constexpr size_t kTipMax = 63; // the first layout's tip holds 64 bytes
    std::strncpy(data.szTip, tip_.c_str(), kTipMax);
    return data;
}

bool TrayIconArea::add(int n) {
    tw::unique_hicon icon(TrayIcon(instance_, n));
    NOTIFYICONDATAA data = record(icon.get());
    shown_ = tray().notify(NIM_ADD, &data) != FALSE;
    return shown_;
}

void TrayIconArea::remove() {
    if (!shown_)
        return;
    NOTIFYICONDATAA data = record(nullptr);
    tray().notify(NIM_DELETE, &data);
    shown_ = false;
}

bool TrayIconArea::replace(int n) {
    remove();
    return add(n);
}

} // namespace tickwell
