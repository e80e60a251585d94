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
//   twremote rect TITLE               the same for the program's dialog of that title
//                                     (waits up to 10 s for it, e.g. "About Tickwell")
//   twremote close TITLE              close that dialog (its close box) and wait until it is gone
//   twremote exit [SECONDS]           press Exit and wait until the program has ended
//   twremote ini FILE SECTION KEY VALUE   write one setting
#include "program_ids.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr char kTitle[] = "Tickwell - v1.50";

HWND mainWindow() {
    return ::FindWindowA("#32770", kTitle);
}

std::string textOf(HWND window) {
    char text[1024] = {};
    ::SendMessageA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text));
    return text;
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

// A dialog of the program (About box, options) found by its title once it shows.
HWND dialogTitled(const char* title, double seconds) {
    HWND found = nullptr;
    waitUntil(
        [&] {
            found = ::FindWindowA("#32770", title);
            return found != nullptr && ::IsWindowVisible(found);
        },
        seconds);
    return found;
}

void printFrame(HWND window) {
    RECT frame{};
    ::GetWindowRect(window, &frame);
    std::printf("%ldx%ld+%ld+%ld\n", frame.right - frame.left, frame.bottom - frame.top, frame.left,
                frame.top);
}

void printValues(HWND window) {
    std::printf("Server time: %s\nPC time:     %s\nDifference:  %s\nStatus:      %s\n",
                value(window, IDC_SERVER_TIME).c_str(), value(window, IDC_PC_TIME).c_str(),
                value(window, IDC_DIFFERENCE).c_str(), value(window, IDC_STATUSBAR).c_str());
}

int usage() {
    std::fputs("usage: twremote wait|check|values|command ID|syscommand ID|tray MSG|escape|"
               "rect [TITLE]|close TITLE|exit|ini FILE SECTION KEY VALUE\n",
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

    if ((verb == "rect" || verb == "close") && argc == 3) {
        HWND dialog = dialogTitled(argv[2], 10);
        if (dialog == nullptr) {
            std::fprintf(stderr, "twremote: no window \"%s\"\n", argv[2]);
            return 1;
        }
        if (verb == "rect") {
            printFrame(dialog);
            return 0;
        }
        ::PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        return waitUntil([dialog] { return !::IsWindow(dialog); }, 10) ? 0 : 1;
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
    if (verb == "rect") {
        printFrame(window);
        return 0;
    }
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
