#include "about_box.h"

#include "dialog_template.h"
#include "shell_open_seam.h"
#include "tw/handles.h"
#include "window_placement.h"

#include <commctrl.h>

#include <array>

namespace zym {

namespace {

using namespace about_ids;

constexpr DWORD kTextStyle = SS_LEFT | SS_NOPREFIX;
constexpr short kDialogWidth = 240;
constexpr short kDialogHeight = 120;

// The layout in dialog units. Texts that come from the caller are filled in when
// the dialog starts; the web address row gets its class from the link choice.
std::array<DialogControl, 7> aboutLayout(bool webAddressAsLink) {
    return {{
        {kIcon, ControlKind::Static, L"", 10, 10, 21, 20, SS_ICON},
        {kProgramName, ControlKind::Static, L"", 42, 10, 188, 10, kTextStyle},
        {kVersion, ControlKind::Static, L"", 42, 22, 188, 10, kTextStyle},
        {kCredit1, ControlKind::Static, L"", 42, 38, 188, 18, kTextStyle},
        {kCredit2, ControlKind::Static, L"", 42, 58, 188, 18, kTextStyle},
        webAddressAsLink
            ? DialogControl{kWebAddress, ControlKind::Link, L"", 42, 80, 188, 10, WS_TABSTOP}
            : DialogControl{kWebAddress, ControlKind::Static, L"", 42, 80, 188, 10,
                            kTextStyle | SS_NOTIFY},
        {IDOK, ControlKind::Button, L"OK", 95, 98, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    }};
}

bool linkClassAvailable() {
    // Registers SysLink if INITURLCTRL was not called; fails on common controls
    // older than version 6, which have no SysLink.
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_LINK_CLASS};
    if (!::InitCommonControlsEx(&classes))
        return false;
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    return ::GetClassInfoExW(nullptr, WC_LINK, &info) != FALSE;
}

// The link's markup cannot carry these; such an address is shown as plain text.
bool fitsLinkMarkup(const std::string& address) {
    return !address.empty() && address.find_first_of("<>\"") == std::string::npos;
}

HMODULE thisModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&thisModule), &module);
    return module;
}

class AboutDialog {
  public:
    AboutDialog(const AboutContent& content, bool webAddressAsLink)
        : content_(content), asLink_(webAddressAsLink) {}

    bool run(HWND owner) {
        const auto layout = aboutLayout(asLink_);
        // The caption is set as ANSI text in onInit, like every caller-supplied text.
        const DialogFrame frame{L"",
                                DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU,
                                0,
                                0,
                                kDialogWidth,
                                kDialogHeight,
                                L"MS Shell Dlg",
                                8};
        const std::vector<WORD> dialogTemplate = buildDialogTemplate(frame, layout);
        const INT_PTR result = ::DialogBoxIndirectParamA(
            thisModule(), reinterpret_cast<LPCDLGTEMPLATEA>(dialogTemplate.data()), owner,
            &AboutDialog::procedure, reinterpret_cast<LPARAM>(this));
        return result > 0;
    }

  private:
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        try {
            if (message == WM_INITDIALOG) {
                ::SetWindowLongPtrA(window, DWLP_USER, lParam);
                auto* self = reinterpret_cast<AboutDialog*>(lParam);
                self->window_ = window;
                return self->onInit();
            }
            auto* self = reinterpret_cast<AboutDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
            if (self == nullptr)
                return FALSE;
            switch (message) {
            case WM_COMMAND:
                return self->onCommand(LOWORD(wParam), HIWORD(wParam));
            case WM_NOTIFY:
                return self->onNotify(*reinterpret_cast<const NMHDR*>(lParam));
            default:
                return FALSE;
            }
        } catch (...) {
            // Nothing may unwind through the dialog manager; close rather than leave a
            // half-working box.
            ::EndDialog(window, 1);
            return TRUE;
        }
    }

    INT_PTR onInit() {
        ::SetWindowTextA(window_, aboutCaption(content_.programName).c_str());
        setText(kProgramName, content_.programName);
        emboldenProgramName();
        setText(kVersion, content_.version);
        setText(kCredit1, content_.credit1);
        setText(kCredit2, content_.credit2);
        const std::string& address = content_.webAddress;
        setText(kWebAddress, asLink_ ? "<a href=\"" + address + "\">" + address + "</a>" : address);
        if (content_.icon != nullptr)
            ::SendDlgItemMessageA(window_, kIcon, STM_SETICON,
                                  reinterpret_cast<WPARAM>(content_.icon), 0);
        centreOnOwner();
        // OK, not the link, takes the focus so that Enter closes the box.
        ::SetFocus(::GetDlgItem(window_, IDOK));
        return FALSE;
    }

    INT_PTR onCommand(int id, int code) {
        if (id == IDOK || id == IDCANCEL) { // IDCANCEL: Escape and the close box
            ::EndDialog(window_, 1);
            return TRUE;
        }
        if (id == kWebAddress && code == STN_CLICKED) {
            openWebAddress();
            return TRUE;
        }
        return FALSE;
    }

    INT_PTR onNotify(const NMHDR& header) {
        if (header.idFrom == static_cast<UINT_PTR>(kWebAddress) &&
            (header.code == NM_CLICK || header.code == NM_RETURN)) {
            openWebAddress();
            return TRUE;
        }
        return FALSE;
    }

    void openWebAddress() {
        if (!content_.webAddress.empty())
            shellOpen().shellExecute(window_, "open", content_.webAddress.c_str(), nullptr, nullptr,
                                     SW_SHOWNORMAL);
    }

    void centreOnOwner() {
        RECT box{};
        ::GetWindowRect(window_, &box);
        HWND owner = ::GetWindow(window_, GW_OWNER);
        RECT anchor{};
        const bool ownerShown = owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner);
        if (ownerShown)
            ::GetWindowRect(owner, &anchor);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        ::GetMonitorInfoA(ownerShown ? ::MonitorFromRect(&anchor, MONITOR_DEFAULTTONEAREST)
                                     : ::MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY),
                          &monitor);
        if (!ownerShown)
            anchor = monitor.rcWork;
        const POINT at =
            centredPosition(box.right - box.left, box.bottom - box.top, anchor, monitor.rcWork);
        ::SetWindowPos(window_, nullptr, at.x, at.y, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // The name stands out in the dialog's own face, bold.
    void emboldenProgramName() {
        auto dialogFont = reinterpret_cast<HFONT>(::SendMessageA(window_, WM_GETFONT, 0, 0));
        LOGFONTA face{};
        if (dialogFont == nullptr || ::GetObjectA(dialogFont, sizeof(face), &face) == 0)
            return;
        face.lfWeight = FW_BOLD;
        nameFont_.reset(::CreateFontIndirectA(&face));
        if (nameFont_)
            ::SendDlgItemMessageA(window_, kProgramName, WM_SETFONT,
                                  reinterpret_cast<WPARAM>(nameFont_.get()), FALSE);
    }

    void setText(int id, const std::string& text) { ::SetDlgItemTextA(window_, id, text.c_str()); }

    const AboutContent& content_;
    const bool asLink_;
    HWND window_ = nullptr;
    tw::unique_hfont nameFont_; // outlives the dialog's controls: run() returns after them
};

} // namespace

std::string aboutCaption(const std::string& programName) {
    return "About " + programName;
}

bool showAboutBox(HWND owner, const AboutContent& content, WebAddressStyle style) {
    const bool asLink = style == WebAddressStyle::LinkWhenAvailable &&
                        fitsLinkMarkup(content.webAddress) && linkClassAvailable();
    if (owner != nullptr && !::IsWindow(owner))
        owner = nullptr;
    AboutDialog dialog(content, asLink);
    return dialog.run(owner);
}

} // namespace zym
