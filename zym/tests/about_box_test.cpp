// The About box, tested as a person would use it: while ZYMSHELLABOUT blocks the
// test thread, a watcher thread finds the dialog that thread opened, reads what
// it shows and closes it. A fault must fail the test, never hang it: the box is
// found whatever its caption, and one that will not close is ended from outside.
#include "about_box.h"
#include "shell_open_seam.h"
#include "test_support.h"
#include "tw/bstr.h"
#include "zym.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using tw::ownedBstr;
using zymtest::className;
using zymtest::windowText;

constexpr DWORD kPollMs = 20;
constexpr DWORD kAppearWithinMs = 10000;
constexpr DWORD kCloseWithinMs = 5000;

struct Control {
    HWND window;
    std::string className;
    std::string text;
    LONG style;
};

std::vector<Control> controlsOf(HWND dialog) {
    std::vector<Control> found;
    ::EnumChildWindows(
        dialog,
        [](HWND child, LPARAM list) -> BOOL {
            reinterpret_cast<std::vector<Control>*>(list)->push_back(
                {child, className(child), windowText(child), ::GetWindowLongA(child, GWL_STYLE)});
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

bool waitFor(const std::function<bool()>& condition, DWORD withinMs) {
    for (DWORD waited = 0; waited <= withinMs; waited += kPollMs) {
        if (condition())
            return true;
        ::Sleep(kPollMs);
    }
    return false;
}

// What the watcher saw of the box while it was open.
struct Sighting {
    bool appeared = false;
    bool closedByAction = false;
    std::string caption;
    RECT box{};
    HWND owner = nullptr;
    std::vector<Control> controls;
};

// A visible dialog-class window that the thread created, or NULL.
HWND dialogOfThread(DWORD thread) {
    HWND found = nullptr;
    ::EnumThreadWindows(
        thread,
        [](HWND window, LPARAM result) -> BOOL {
            if (className(window) != "#32770" || !::IsWindowVisible(window))
                return TRUE;
            *reinterpret_cast<HWND*>(result) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Made on the test thread: waits on its own thread for the dialog that the test
// thread opens, records it, runs act on it, and ends it if act did not.
class AboutWatcher {
  public:
    explicit AboutWatcher(std::function<void(HWND, const Sighting&)> act)
        : caller_(::GetCurrentThreadId()), act_(std::move(act)), thread_([this] { watch(); }) {}
    ~AboutWatcher() { finish(); }

    const Sighting& finish() {
        if (thread_.joinable())
            thread_.join();
        return seen_;
    }

  private:
    void watch() {
        HWND box = nullptr;
        seen_.appeared =
            waitFor([&] { return (box = dialogOfThread(caller_)) != nullptr; }, kAppearWithinMs);
        if (!seen_.appeared)
            return;
        seen_.caption = windowText(box);
        ::GetWindowRect(box, &seen_.box);
        seen_.owner = ::GetWindow(box, GW_OWNER);
        seen_.controls = controlsOf(box);
        act_(box, seen_);
        seen_.closedByAction = waitFor([&] { return !::IsWindow(box); }, kCloseWithinMs);
        if (!seen_.closedByAction)
            endFromOutside(box);
    }

    // The close box first; then ending the dialog directly, which needs nothing
    // of its procedure; and if even that fails, the test program, so that the
    // suite reports a failure instead of waiting for ever.
    static void endFromOutside(HWND box) {
        ::PostMessageA(box, WM_CLOSE, 0, 0);
        if (waitFor([&] { return !::IsWindow(box); }, kCloseWithinMs))
            return;
        ::EndDialog(box, 0);
        if (waitFor([&] { return !::IsWindow(box); }, kCloseWithinMs))
            return;
        std::fprintf(stderr, "The About box could not be closed; ending the test program.\n");
        std::fflush(stderr);
        std::_Exit(3);
    }

    DWORD caller_;
    std::function<void(HWND, const Sighting&)> act_;
    Sighting seen_;
    std::thread thread_;
};

HWND buttonCalled(const Sighting& seen, const std::string& text) {
    for (const Control& c : seen.controls)
        if (c.className == "Button" && c.text == text)
            return c.window;
    return nullptr;
}

void clickOk(HWND, const Sighting& seen) {
    if (HWND ok = buttonCalled(seen, "OK"))
        ::SendMessageA(ok, BM_CLICK, 0, 0);
}

void pressEscape(HWND, const Sighting& seen) {
    // Keys go to the focused control; the dialog's loop turns Escape into IDCANCEL.
    if (HWND ok = buttonCalled(seen, "OK")) {
        ::PostMessageA(ok, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        ::PostMessageA(ok, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    }
}

void useCloseBox(HWND box, const Sighting&) {
    ::PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
}

struct AboutTexts {
    std::string programName, version, credit1, credit2, webAddress;
};

int32_t showAbout(HWND owner, const AboutTexts& t, HICON icon) {
    auto name = ownedBstr(t.programName), version = ownedBstr(t.version),
         credit1 = ownedBstr(t.credit1), credit2 = ownedBstr(t.credit2),
         web = ownedBstr(t.webAddress);
    BSTR nb = name.get(), vb = version.get(), c1 = credit1.get(), c2 = credit2.get(),
         wb = web.get();
    int32_t flags = 1;
    return ZYMSHELLABOUT(&owner, &flags, &nb, &vb, &c1, &c2, &wb, &icon);
}

bool shows(const Sighting& seen, const std::string& text) {
    for (const Control& c : seen.controls)
        if (c.text == text)
            return true;
    return false;
}

// A plain static with the address, or a SysLink whose text holds it.
bool showsAddress(const Sighting& seen, const std::string& address) {
    for (const Control& c : seen.controls)
        if (c.text.find(address) != std::string::npos)
            return true;
    return false;
}

class OwnerWindow {
  public:
    OwnerWindow() {
        RECT work{};
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        const int width = 600, height = 400;
        window_ = ::CreateWindowExA(0, "STATIC", "Tickwell", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                    work.left + (work.right - work.left - width) / 2 + 40,
                                    work.top + (work.bottom - work.top - height) / 2 + 20, width,
                                    height, nullptr, nullptr, nullptr, nullptr);
    }
    ~OwnerWindow() { ::DestroyWindow(window_); }
    HWND get() const { return window_; }

  private:
    HWND window_;
};

// One case per way a person ends the box; each must end it and return 1.
struct Closing {
    const char* name;
    void (*act)(HWND, const Sighting&);
};

class AboutBoxCloses : public ::testing::TestWithParam<Closing> {};

TEST_P(AboutBoxCloses, ShowsEverythingCentredOnTheOwner) {
    OwnerWindow owner;
    ASSERT_NE(owner.get(), nullptr);
    HICON icon = ::LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    const AboutTexts texts{std::string("Tickwell ") + GetParam().name, "v1.50",
                           "Tickwell time synchroniser", "by the Tickwell developers",
                           "https://tickwell.example.org/"};
    HICON shownIcon = nullptr;
    AboutWatcher watcher([&](HWND box, const Sighting& seen) {
        for (const Control& c : seen.controls)
            if ((c.style & SS_TYPEMASK) == SS_ICON && c.className == "Static")
                shownIcon = reinterpret_cast<HICON>(::SendMessageA(c.window, STM_GETICON, 0, 0));
        GetParam().act(box, seen);
    });

    EXPECT_EQ(showAbout(owner.get(), texts, icon), 1);
    const Sighting& seen = watcher.finish();

    ASSERT_TRUE(seen.appeared) << "no About box appeared";
    EXPECT_TRUE(seen.closedByAction) << GetParam().name << " did not close the box";
    EXPECT_EQ(seen.caption, "About " + texts.programName);
    EXPECT_TRUE(shows(seen, texts.programName));
    EXPECT_TRUE(shows(seen, texts.version));
    EXPECT_TRUE(shows(seen, texts.credit1));
    EXPECT_TRUE(shows(seen, texts.credit2));
    EXPECT_TRUE(showsAddress(seen, texts.webAddress));
    EXPECT_NE(buttonCalled(seen, "OK"), nullptr);
    EXPECT_EQ(shownIcon, icon);

    EXPECT_EQ(seen.owner, owner.get()) << "modal to its owner";
    EXPECT_TRUE(::IsWindowEnabled(owner.get())) << "owner enabled again afterwards";
    RECT ownerRect{};
    ::GetWindowRect(owner.get(), &ownerRect);
    EXPECT_NEAR((seen.box.left + seen.box.right) / 2, (ownerRect.left + ownerRect.right) / 2, 1);
    EXPECT_NEAR((seen.box.top + seen.box.bottom) / 2, (ownerRect.top + ownerRect.bottom) / 2, 1);
}

INSTANTIATE_TEST_SUITE_P(Ways, AboutBoxCloses,
                         ::testing::Values(Closing{"OK", clickOk}, Closing{"Escape", pressEscape},
                                           Closing{"CloseBox", useCloseBox}),
                         [](const auto& info) { return std::string(info.param.name); });

// The program passes its window, but a caller may pass nothing at all.
TEST(AboutBox, OpensWithoutOwnerIconOrTexts) {
    AboutWatcher watcher(clickOk);
    EXPECT_EQ(ZYMSHELLABOUT(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
              1);
    const Sighting& seen = watcher.finish();
    ASSERT_TRUE(seen.appeared);
    EXPECT_EQ(seen.caption, "About ");
    EXPECT_TRUE(seen.closedByAction);
    EXPECT_EQ(seen.owner, nullptr);
}

TEST(AboutBox, AStaleOwnerHandleIsIgnored) {
    HWND gone = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    ::DestroyWindow(gone);
    AboutWatcher watcher(clickOk);
    EXPECT_EQ(showAbout(gone, {"Stale", "v1", "", "", ""}, nullptr), 1);
    const Sighting& seen = watcher.finish();
    EXPECT_TRUE(seen.closedByAction);
    EXPECT_EQ(seen.owner, nullptr);
}

bool linkClassRegistered() {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_LINK_CLASS};
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    return ::InitCommonControlsEx(&classes) && ::GetClassInfoExW(nullptr, WC_LINK, &info);
}

// Clicking the address opens it with the shell; the seam keeps a browser from starting.
std::atomic<int> shellOpens{0};
std::string openedVerb, openedAddress;

HINSTANCE WINAPI recordShellOpen(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT) {
    openedVerb = verb ? verb : "";
    openedAddress = file ? file : "";
    ++shellOpens;
    return reinterpret_cast<HINSTANCE>(33);
}

void clickAddressThenOk(HWND box, const Sighting& seen) {
    HWND address = ::GetDlgItem(box, IDC_ABOUT_WEB_ADDRESS);
    // A press and release on the first letters, where a link's text starts.
    ::PostMessageA(address, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 4));
    ::PostMessageA(address, WM_LBUTTONUP, 0, MAKELPARAM(3, 4));
    waitFor([] { return shellOpens > 0; }, kCloseWithinMs);
    clickOk(box, seen);
}

class AboutBoxAddress : public ::testing::TestWithParam<zym::WebAddressStyle> {};

TEST_P(AboutBoxAddress, ClickingTheAddressOpensIt) {
    tw::ScopedSeam<zym::ShellOpenSeam> shell({recordShellOpen});
    shellOpens = 0;
    openedAddress.clear();
    zym::AboutContent content;
    content.programName = "Linked";
    content.webAddress = "https://tickwell.example.org/download";
    std::string addressClass;
    AboutWatcher watcher([&](HWND box, const Sighting& seen) {
        addressClass = className(::GetDlgItem(box, IDC_ABOUT_WEB_ADDRESS));
        clickAddressThenOk(box, seen);
    });
    EXPECT_TRUE(zym::showAboutBox(nullptr, content, GetParam()));
    ASSERT_TRUE(watcher.finish().closedByAction);
    EXPECT_EQ(shellOpens, 1);
    EXPECT_EQ(openedVerb, "open");
    EXPECT_EQ(openedAddress, content.webAddress);
    const bool linkExpected =
        GetParam() == zym::WebAddressStyle::LinkWhenAvailable && linkClassRegistered();
    EXPECT_EQ(addressClass, linkExpected ? "SysLink" : "Static");
}

INSTANTIATE_TEST_SUITE_P(Styles, AboutBoxAddress,
                         ::testing::Values(zym::WebAddressStyle::LinkWhenAvailable,
                                           zym::WebAddressStyle::PlainText),
                         [](const auto& info) {
                             return info.param == zym::WebAddressStyle::PlainText ? "PlainText"
                                                                                  : "Link";
                         });

// The box has two templates that differ in the address row alone: a change made
// to one and forgotten in the other shows only to users of the other one.
INT_PTR CALLBACK quietProcedure(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

struct Row {
    int id;
    std::string className;
    LONG style;
    RECT place; // in the dialog's client coordinates
};

std::vector<Row> rowsOfTemplate(int templateId, RECT& frame, LONG& frameStyle) {
    std::vector<Row> rows;
    HWND dialog = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId),
                                       nullptr, quietProcedure, 0);
    if (dialog == nullptr)
        return rows;
    ::GetWindowRect(dialog, &frame);
    frameStyle = ::GetWindowLongA(dialog, GWL_STYLE);
    for (const Control& c : controlsOf(dialog)) {
        RECT place{};
        ::GetWindowRect(c.window, &place);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
        rows.push_back({::GetDlgCtrlID(c.window), c.className, c.style, place});
    }
    ::DestroyWindow(dialog);
    return rows;
}

TEST(AboutBox, TheTwoTemplatesDifferInTheAddressRowAlone) {
    if (!linkClassRegistered())
        GTEST_SKIP() << "these common controls have no SysLink";
    RECT linkFrame{}, plainFrame{};
    LONG linkStyle = 0, plainStyle = 0;
    const std::vector<Row> link = rowsOfTemplate(IDD_ABOUT_LINK, linkFrame, linkStyle);
    const std::vector<Row> plain = rowsOfTemplate(IDD_ABOUT_PLAIN, plainFrame, plainStyle);
    ASSERT_FALSE(link.empty()) << "the link template did not load";
    ASSERT_EQ(link.size(), plain.size());
    EXPECT_EQ(linkFrame.right - linkFrame.left, plainFrame.right - plainFrame.left);
    EXPECT_EQ(linkFrame.bottom - linkFrame.top, plainFrame.bottom - plainFrame.top);
    EXPECT_EQ(linkStyle, plainStyle);
    for (size_t i = 0; i < link.size(); ++i) {
        SCOPED_TRACE(link[i].id);
        EXPECT_EQ(link[i].id, plain[i].id) << "the same rows in the same (tab) order";
        EXPECT_TRUE(::EqualRect(&link[i].place, &plain[i].place));
        if (link[i].id == IDC_ABOUT_WEB_ADDRESS) {
            EXPECT_EQ(link[i].className, "SysLink");
            EXPECT_EQ(plain[i].className, "Static");
            EXPECT_NE(plain[i].style & SS_NOTIFY, 0)
                << "a click on the plain address reaches the box";
        } else {
            EXPECT_EQ(link[i].className, plain[i].className);
            EXPECT_EQ(link[i].style, plain[i].style);
        }
    }
}

} // namespace
