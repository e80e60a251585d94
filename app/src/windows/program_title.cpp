#include "program_title.h"

#include "identity.h"
#include "program_ids.h"

namespace tickwell {

tw::unique_hicon setBigIcon(HWND window, HINSTANCE instance, int iconId) {
    tw::unique_hicon icon(static_cast<HICON>(
        ::LoadImageA(instance, MAKEINTRESOURCEA(iconId), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
    ::SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon.get()));
    return icon;
}

tw::unique_hicon showProgramTitle(HWND window, HINSTANCE instance) {
    ::SetWindowTextA(window, kMainWindowTitle);
    return setBigIcon(window, instance, IDI_APP);
}

} // namespace tickwell
