#include "program_title.h"

#include "identity.h"
#include "program_ids.h"

#include <string>

namespace tickwell {

tw::unique_hicon showProgramTitle(HWND window, HINSTANCE instance) {
    const std::string title = std::string(kProgramName) + " - " + kVersionText;
    ::SetWindowTextA(window, title.c_str());
    tw::unique_hicon icon(static_cast<HICON>(
        ::LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
    ::SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon.get()));
    return icon;
}

} // namespace tickwell
