// twremote: drives a running Tickwell from the command line, as a user's clicks
// would, for the run script and the screenshots.
//
//   twremote wait [SECONDS]           wait until the main window is shown
//   twremote check [SECONDS]          press Check, wait for the answer, print the values
//   twremote values                   print the server time, PC time, difference, status
//   twremote command ID               send a command (3072 Exit ... 3081)
//   twremote syscommand ID            send a system command (0xF060 close, 0xF020 minimise)
//   twremote tray MOUSE-MESSAGE [X Y] send a tray icon event (513 left click, 516 right
//                                     click) with the mouse at X, Y
//   twremote escape                   close an open menu
//   twremote rect                     print the window's frame as WxH+X+Y (for cropping)
//   twremote exit [SECONDS]           press Exit and wait until the program has ended
//   twremote ini FILE SECTION KEY VALUE   write one setting
//
// The options dialog and its two small dialogs, named by their title ("Tickwell
// Options", "" for Add-server, the main window's title for the chooser):
//   twremote dialog TITLE [SECONDS]   wait until the dialog is shown
//   twremote page N                   show page N (0..2) of the options dialog
//   twremote click TITLE ID           click the button ID (on any page)
//   twremote settext TITLE ID TEXT    type TEXT into the edit ID
//   twremote address TITLE ID A.B.C.D fill the IP address control ID
//   twremote close TITLE              cancel the dialog
//   twremote size TITLE W H           resize its frame to W x H pixels
//   twremote rect [TITLE]             print its frame as WxH+X+Y
#include "identity.h"
#include "program_ids.h"
#include "tw/find_control.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using tw::testing::findControl;

constexpr const char* kTitle = tickwell::kMainWindowTitle;

std::string textOf(HWND window) {
    char text[1024] = {};
    ::SendMessageA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text));
    return text;
}

// The shown dialog with this title, topmost first. The main window (the one
// with the status bar) is found only as "main": the chooser bears its title.
HWND findDialog(const std::string& title) {
    const bool main = title == "main";
    const char* name = main ? kTitle : title.c_str();
    for (HWND w = ::FindWindowExA(nullptr, nullptr, "#32770", name); w != nullptr;
         w = ::FindWindowExA(nullptr, w, "#32770", name))
        if (::IsWindowVisible(w) && (::GetDlgItem(w, IDC_STATUSBAR) != nullptr) == main)
            return w;
    return nullptr;
}

// The main window, shown or hidden.
HWND mainWindow() {
    for (HWND w = ::FindWindowExA(nullptr, nullptr, "#32770", kTitle); w != nullptr;
         w = ::FindWindowExA(nullptr, w, "#32770", kTitle))
        if (::GetDlgItem(w, IDC_STATUSBAR) != nullptr)
            return w;
    return nullptr;
}

std::string value(HWND window, int id) {
    return textOf(::GetDlgItem(window, id));
}

// Waits until done() holds, checking every 50 ms; false after `seconds`.
template <typename Done> bool waitUntil(Done done, double seconds) {
    const ULONGLONG until = ::GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    while (!done()) {
        if (::GetTickCount64() > until)
            return false;
        ::Sleep(50);
    }
    return true;
}

void printValues(HWND window) {
    std::printf("Server time: %s\nPC time:     %s\nDifference:  %s\nStatus:      %s\n",
                value(window, IDC_SERVER_TIME).c_str(), value(window, IDC_PC_TIME).c_str(),
                value(window, IDC_DIFFERENCE).c_str(), value(window, IDC_STATUSBAR).c_str());
}

// The window's frame as WxH+X+Y, the form ImageMagick crops by.
int printFrame(HWND window) {
    RECT frame{};
    ::GetWindowRect(window, &frame);
    std::printf("%ldx%ld+%ld+%ld\n", frame.right - frame.left, frame.bottom - frame.top, frame.left,
                frame.top);
    return 0;
}

int usage() {
    std::fputs("usage: twremote wait|check|values|command ID|syscommand ID|tray MSG|escape|rect|"
               "exit|ini FILE SECTION KEY VALUE|dialog TITLE|page N|click TITLE ID|"
               "settext TITLE ID TEXT|address TITLE ID A.B.C.D|close TITLE|rect TITLE\n",
               stderr);
    return 2;
}

double secondsArgument(int argc, char** argv, double fallback) {
    return argc > 2 ? std::atof(argv[2]) : fallback;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    const std::string verb = argv[1];

    if (verb == "ini") {
        if (argc != 6)
            return usage();
        return ::WritePrivateProfileStringA(argv[3], argv[4], argv[5], argv[2]) ? 0 : 1;
    }

    if (verb == "wait") {
        const bool shown = waitUntil(
            [] {
                HWND w = mainWindow();
                return w != nullptr && ::IsWindowVisible(w);
            },
            secondsArgument(argc, argv, 30));
        if (!shown)
            std::fputs("twremote: Tickwell's window did not appear\n", stderr);
        return shown ? 0 : 1;
    }

    if (verb == "dialog" && argc >= 3) {
        const std::string title = argv[2];
        const bool shown = waitUntil([&title] { return findDialog(title) != nullptr; },
                                     argc > 3 ? std::atof(argv[3]) : 20);
        if (!shown)
            std::fprintf(stderr, "twremote: no dialog \"%s\"\n", title.c_str());
        ::Sleep(300); // let it paint
        return shown ? 0 : 1;
    }
    if ((verb == "click" || verb == "settext" || verb == "address" || verb == "close" ||
         (verb == "size" && argc == 5) || (verb == "rect" && argc == 3)) &&
        argc >= 3) {
        HWND dialog = findDialog(argv[2]);
        if (dialog == nullptr) {
            std::fprintf(stderr, "twremote: no dialog \"%s\"\n", argv[2]);
            return 1;
        }
        if (verb == "rect")
            return printFrame(dialog);
        if (verb == "close") {
            ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            ::Sleep(300);
            return 0;
        }
        if (verb == "size") {
            ::SetWindowPos(dialog, nullptr, 0, 0, std::atoi(argv[3]), std::atoi(argv[4]),
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            ::Sleep(300); // let it paint
            return 0;
        }
        if (argc < 4)
            return usage();
        const int id = std::atoi(argv[3]);
        HWND control = findControl(dialog, id,
                                   verb == "click"     ? "Button"
                                   : verb == "address" ? WC_IPADDRESSA
                                                       : "Edit");
        if (control == nullptr) {
            std::fprintf(stderr, "twremote: no control %d\n", id);
            return 1;
        }
        if (verb == "click") {
            ::PostMessageA(control, BM_CLICK, 0, 0);
        } else if (verb == "settext" && argc == 5) {
            ::SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]));
        } else if (verb == "address" && argc == 5) {
            unsigned a = 0, b = 0, c = 0, d = 0;
            if (std::sscanf(argv[4], "%u.%u.%u.%u", &a, &b, &c, &d) != 4)
                return usage();
            ::SendMessageA(control, IPM_SETADDRESS, 0, MAKEIPADDRESS(a, b, c, d));
        } else {
            return usage();
        }
        ::Sleep(300);
        return 0;
    }
    if (verb == "page" && argc == 3) {
        HWND tabs = findControl(findDialog("Tickwell Options"), IDC_TABS, nullptr);
        if (tabs == nullptr) {
            std::fputs("twremote: the options dialog is not open\n", stderr);
            return 1;
        }
        // As a click on the tab would: the dialog hears of the change and shows the page.
        ::SendMessageA(tabs, TCM_SETCURFOCUS, static_cast<WPARAM>(std::atoi(argv[2])), 0);
        ::Sleep(300);
        return 0;
    }

    HWND window = mainWindow();
    if (window == nullptr) {
        std::fputs("twremote: Tickwell is not running\n", stderr);
        return 1;
    }

    if (verb == "check") {
        const double seconds = secondsArgument(argc, argv, 40);
        ::SetDlgItemTextA(window, IDC_SERVER_TIME, "");
        ::PostMessageA(window, WM_COMMAND, CMD_CHECK, 0);
        const bool answered = waitUntil(
            [window] {
                return !value(window, IDC_SERVER_TIME).empty() &&
                       value(window, IDC_STATUSBAR).rfind("Checking time at ", 0) != 0;
            },
            seconds);
        printValues(window);
        return answered ? 0 : 1;
    }
    if (verb == "values") {
        printValues(window);
        return 0;
    }
    if (verb == "tray" && argc == 5)
        ::SetCursorPos(std::atoi(argv[3]), std::atoi(argv[4]));
    if ((verb == "command" || verb == "syscommand" || verb == "tray") &&
        (argc == 3 || (verb == "tray" && argc == 5))) {
        const long id = std::strtol(argv[2], nullptr, 0);
        if (verb == "command")
            ::PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(id), 0);
        else if (verb == "syscommand")
            ::PostMessageA(window, WM_SYSCOMMAND, static_cast<WPARAM>(id), 0);
        else
            ::PostMessageA(window, WM_TRAY_CALLBACK, 0, static_cast<LPARAM>(id));
        ::Sleep(300);
        return 0;
    }
    if (verb == "escape") {
        // An open menu is a window of the class "#32768"; Escape closes it.
        if (HWND menu = ::FindWindowA("#32768", nullptr)) {
            ::PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
            ::PostMessageA(menu, WM_KEYUP, VK_ESCAPE, 0);
        }
        ::PostMessageA(window, WM_CANCELMODE, 0, 0);
        ::Sleep(300);
        return 0;
    }
    if (verb == "rect")
        return printFrame(window);
    if (verb == "exit") {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
        ::PostMessageA(window, WM_COMMAND, CMD_EXIT, 0);
        const DWORD waitMs = static_cast<DWORD>(secondsArgument(argc, argv, 10) * 1000);
        const bool ended = process == nullptr || ::WaitForSingleObject(process, waitMs) == 0;
        if (process != nullptr)
            ::CloseHandle(process);
        return ended ? 0 : 1;
    }
    return usage();
}
