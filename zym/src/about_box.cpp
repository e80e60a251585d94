#include "about_box.h"

#include "shell_open_seam.h"
#include "tw/dialog.h"
#include "tw/handles.h"
#include "window_placement.h"

#include <commctrl.h>

namespace zym {

namespace {

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

// The module whose resources hold the templates: zym.dll, or a test program that
// links this code directly.
HMODULE thisModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&thisModule), &module);
    return module;
}

class AboutDialog final : public tw::Dialog {
  public:
    AboutDialog(const AboutContent& content, bool webAddressAsLink)
        : content_(content), asLink_(webAddressAsLink) {}

    bool run(HWND owner) {
        return runModal(thisModule(), asLink_ ? IDD_ABOUT_LINK : IDD_ABOUT_PLAIN, owner) > 0;
    }

  protected:
    bool onInit() override {
        // The caption is set here, as ANSI text like every caller-supplied text.
        ::SetWindowTextA(window(), aboutCaption(content_.programName).c_str());
        setText(IDC_ABOUT_PROGRAM_NAME, content_.programName);
        emboldenProgramName();
        setText(IDC_ABOUT_VERSION, content_.version);
        setText(IDC_ABOUT_CREDIT1, content_.credit1);
        setText(IDC_ABOUT_CREDIT2, content_.credit2);
        const std::string& address = content_.webAddress;
        setText(IDC_ABOUT_WEB_ADDRESS,
                asLink_ ? "<a href=\"" + address + "\">" + address + "</a>" : address);
        if (content_.icon != nullptr)
            ::SendDlgItemMessageA(window(), IDC_ABOUT_ICON, STM_SETICON,
                                  reinterpret_cast<WPARAM>(content_.icon), 0);
        centreOnOwner();
        // OK, not the link, takes the focus so that Enter closes the box.
        ::SetFocus(item(IDOK));
        return false;
    }

    bool onCommand(int id, int code, HWND /*control*/) override {
        if (id == IDOK || id == IDCANCEL) { // IDCANCEL: Escape and the close box
            end(1);
            return true;
        }
        if (id == IDC_ABOUT_WEB_ADDRESS && code == STN_CLICKED) {
            openWebAddress();
            return true;
        }
        return false;
    }

    bool onNotify(const NMHDR& header) override {
        if (header.idFrom == static_cast<UINT_PTR>(IDC_ABOUT_WEB_ADDRESS) &&
            (header.code == NM_CLICK || header.code == NM_RETURN)) {
            openWebAddress();
            return true;
        }
        return false;
    }

    // The box was shown: a fault inside it closes it as OK would.
    INT_PTR failureResult() const override { return 1; }

  private:
    void openWebAddress() {
        if (!content_.webAddress.empty())
            shellOpen().shellExecute(window(), "open", content_.webAddress.c_str(), nullptr,
                                     nullptr, SW_SHOWNORMAL);
    }

    void centreOnOwner() {
        RECT box{};
        ::GetWindowRect(window(), &box);
        HWND owner = ::GetWindow(window(), GW_OWNER);
        RECT anchor{};
        const bool ownerShown = owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner);
        if (ownerShown)
            ::GetWindowRect(owner, &anchor);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        ::GetMonitorInfoA(ownerShown ? ::MonitorFromRect(&anchor, MONITOR_DEFAULTTONEAREST)
                                     : ::MonitorFromWindow(window(), MONITOR_DEFAULTTOPRIMARY),
                          &monitor);
        if (!ownerShown)
            anchor = monitor.rcWork;
        const POINT at =
            centredPosition(box.right - box.left, box.bottom - box.top, anchor, monitor.rcWork);
        ::SetWindowPos(window(), nullptr, at.x, at.y, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // The name stands out in the dialog's own face, bold.
    void emboldenProgramName() {
        auto dialogFont = reinterpret_cast<HFONT>(::SendMessageA(window(), WM_GETFONT, 0, 0));
        LOGFONTA face{};
        if (dialogFont == nullptr || ::GetObjectA(dialogFont, sizeof(face), &face) == 0)
            return;
        face.lfWeight = FW_BOLD;
        nameFont_.reset(::CreateFontIndirectA(&face));
        if (nameFont_)
            ::SendDlgItemMessageA(window(), IDC_ABOUT_PROGRAM_NAME, WM_SETFONT,
                                  reinterpret_cast<WPARAM>(nameFont_.get()), FALSE);
    }

    const AboutContent& content_;
    const bool asLink_;
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
