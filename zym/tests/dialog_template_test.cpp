// The in-memory dialog builder, checked by letting the real dialog manager build
// a window from its template.
#include "dialog_template.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>

namespace {

using zym::ControlKind;
using zym::DialogControl;
using zym::DialogFrame;
using zymtest::className;
using zymtest::windowText;

INT_PTR CALLBACK quietProcedure(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

// Captions of odd and even lengths shift every later item: a slip in the DWORD
// alignment of the items garbles the controls after it or fails the whole dialog.
TEST(DialogTemplate, TheDialogManagerBuildsExactlyTheTable) {
    const DialogControl controls[] = {
        {201, ControlKind::Static, L"A", 5, 6, 40, 10, SS_LEFT},
        {202, ControlKind::Edit, L"BC", 50, 6, 60, 12, ES_AUTOHSCROLL | WS_BORDER},
        {203, ControlKind::Button, L"Check me", 5, 22, 70, 10, BS_AUTOCHECKBOX | WS_TABSTOP},
        {204, ControlKind::ListBox, L"", 5, 36, 60, 30,
         LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL},
        {205, ControlKind::ComboBox, L"", 70, 36, 60, 60, CBS_DROPDOWNLIST},
        {206, ControlKind::ScrollBar, L"", 135, 36, 10, 30, SBS_VERT},
        {IDOK, ControlKind::Button, L"OK", 70, 80, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    };
    const DialogFrame frame{L"Built in code",
                            DS_MODALFRAME | WS_POPUP | WS_CAPTION,
                            10,
                            20,
                            160,
                            100,
                            L"MS Shell Dlg",
                            8};
    const std::vector<WORD> bytes = zym::buildDialogTemplate(frame, controls);

    HWND dialog = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr),
                                               reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()),
                                               nullptr, quietProcedure, 0);
    ASSERT_NE(dialog, nullptr) << "error " << ::GetLastError();
    EXPECT_EQ(windowText(dialog), "Built in code");
    EXPECT_NE(::SendMessageA(dialog, WM_GETFONT, 0, 0), 0) << "the face name was applied";

    const char* const classes[] = {"Static",   "Edit",      "Button", "ListBox",
                                   "ComboBox", "ScrollBar", "Button"};
    int index = 0;
    for (const DialogControl& c : controls) {
        SCOPED_TRACE(c.id);
        HWND control = ::GetDlgItem(dialog, c.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(className(control), classes[index++]);
        if (c.kind != ControlKind::ListBox && c.kind != ControlKind::ComboBox &&
            c.kind != ControlKind::ScrollBar) {
            const std::wstring wide(c.caption);
            EXPECT_EQ(windowText(control), std::string(wide.begin(), wide.end()));
        }
        const auto style = static_cast<DWORD>(::GetWindowLongA(control, GWL_STYLE));
        EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE), DWORD{WS_CHILD | WS_VISIBLE});
        EXPECT_EQ(style & 0xFFFF & c.style, c.style & 0xFFFF) << "control style bits kept";

        // The dialog manager converts position and size each on its own.
        RECT position{c.x, c.y, c.x, c.y};
        RECT size{0, 0, c.width, c.height};
        ::MapDialogRect(dialog, &position);
        ::MapDialogRect(dialog, &size);
        RECT actual{};
        ::GetWindowRect(control, &actual);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, position.left);
        EXPECT_EQ(actual.top, position.top);
        EXPECT_EQ(actual.right - actual.left, size.right);
        if (c.kind != ControlKind::ComboBox) { // a combo box sizes its own closed height
            EXPECT_EQ(actual.bottom - actual.top, size.bottom);
        }
    }
    ::DestroyWindow(dialog);
}

TEST(DialogTemplate, LinkRowsUseTheSysLinkClass) {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_LINK_CLASS};
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    if (!::InitCommonControlsEx(&classes) || !::GetClassInfoExW(nullptr, WC_LINK, &info))
        GTEST_SKIP() << "these common controls have no SysLink";
    const DialogControl controls[] = {
        {301, ControlKind::Link, L"<a>x</a>", 5, 5, 80, 10, 0},
        {302, ControlKind::Static, L"after", 5, 20, 80, 10, 0},
    };
    const std::vector<WORD> bytes =
        zym::buildDialogTemplate({L"", WS_POPUP, 0, 0, 100, 40, L"", 0}, controls);
    HWND dialog = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr),
                                               reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()),
                                               nullptr, quietProcedure, 0);
    ASSERT_NE(dialog, nullptr) << "error " << ::GetLastError();
    EXPECT_EQ(className(::GetDlgItem(dialog, 301)), "SysLink");
    EXPECT_EQ(windowText(::GetDlgItem(dialog, 302)), "after");
    ::DestroyWindow(dialog);
}

} // namespace
