#include "startup.h"

#include "event_log.h"
#include "identity.h"
#include "library_calls.h"
#include "main_window.h"
#include "system_versions.h"
#include "program_ids.h"
#include "program_seams.h"
#include "settings_store.h"
#include "splash.h"
#include "tw/handles.h"

#include <commctrl.h>

#include <cctype>
#include <cmath>

namespace tickwell {

namespace {

constexpr char kOldCommonControlsText[] =
    "Sorry, this program needs a later version of COMCTL32.DLL.\r\n"
    "Please install MSIE version 4 or higher, or get the file directly from: \r\n\r\n"
    "https://www.microsoft.com/download";

void registerProgramClass(HINSTANCE instance, HICON icon) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = ::DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon;
    windowClass.hIconSm = icon;
    windowClass.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
    windowClass.lpszClassName = kInstanceName;
    ::RegisterClassExA(&windowClass);
}

} // namespace

bool isMinimizeSwitch(std::string_view arguments) {
    const size_t first = arguments.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return false;
    const size_t last = arguments.find_last_not_of(' ');
    std::string word(arguments.substr(first, last - first + 1));
    for (char& c : word)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return word == "-minimize";
}

bool commonControlsRecentEnough(double version) {
    // In hundredths: 4.71 as a sum of 4 and 71/100 need not equal the literal 4.71.
    return std::lround(version * 100) >= std::lround(kMinimumComCtl32 * 100);
}

bool anotherInstanceRuns(const char* instanceName) {
    tw::unique_handle probe(::CreateMutexA(nullptr, FALSE, instanceName));
    if (!probe)
        return false;
    if (::GetLastError() == ERROR_ALREADY_EXISTS)
        return true;
    return ::FindWindowA(instanceName, "") != nullptr;
}

bool startupGatesPass(const char* instanceName) {
    constexpr int32_t kIpAddressClass = ICC_INTERNET_CLASSES;
    if (!commonControlsRecentEnough(commonControls().init(kIpAddressClass))) {
        messageBox().show(nullptr, kOldCommonControlsText, "SysIPAddress32 Error",
                          MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
        return false;
    }
    if (anotherInstanceRuns(instanceName)) {
        const std::string text =
            std::string("Another instance of ") + kProgramName + " is already running!";
        messageBox().show(nullptr, text.c_str(), kProgramName, MB_ICONHAND);
        return false;
    }
    return true;
}

int runProgram(HINSTANCE instance, const std::string& arguments) {
    LoadSettings();
    Settings& s = settings();
    if (!startupGatesPass(kInstanceName))
        return 0;
    tw::unique_handle instanceMutex(::CreateMutexA(nullptr, FALSE, kInstanceName));

    lib::initUrlControl();
    ::InitCommonControls();
    tw::unique_hicon appIcon(static_cast<HICON>(
        ::LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
    registerProgramClass(instance, appIcon.get());

    Splash(instance, s.useSounds != 0).run();
    {
        MainWindow window(instance, s, s.runInSystemTray != 0 && isMinimizeSwitch(arguments));
        window.run();
    }

    writeShutdownSettings(s);
    instanceMutex.reset();
    if (s.logEvents != 0)
        LogEvent(std::string(kProgramName) + " stopped");
    return 0;
}

} // namespace tickwell
