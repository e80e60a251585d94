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
#include "startup_rules.h"
#include "tw/handles.h"

#include <commctrl.h>

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

StartupGates startupGatesPass(const char* instanceName) {
    StartupGates gates;
    constexpr int32_t kIpAddressClass = ICC_INTERNET_CLASSES;
    if (!commonControlsRecentEnough(commonControls().init(kIpAddressClass))) {
        messageBox().show(nullptr, kOldCommonControlsText, "SysIPAddress32 Error",
                          MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
        return gates;
    }
    // The mutex made here is the one kept: closing it and making it again would
    // let a second copy through in between. One that cannot be made at all
    // lets the program run, unguarded.
    gates.instanceMutex.reset(::CreateMutexA(nullptr, FALSE, instanceName));
    if (gates.instanceMutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        gates.instanceMutex.reset();
        const std::string text =
            std::string("Another instance of ") + kProgramName + " is already running!";
        messageBox().show(nullptr, text.c_str(), kProgramName, MB_ICONHAND);
        return gates;
    }
    gates.pass = true;
    return gates;
}

int runProgram(HINSTANCE instance, const std::string& arguments) {
    // The run's settings: the windows are lent them, the store writes them.
    Settings s;
    LoadSettings(s, settingsFilePath());
    StartupGates gates = startupGatesPass(kInstanceName);
    if (!gates.pass)
        return 0;

    lib::initUrlControl();
    ::InitCommonControls();
    tw::unique_hicon appIcon(static_cast<HICON>(
        ::LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
    registerProgramClass(instance, appIcon.get());

    Splash(instance, s.useSounds).run();
    {
        MainWindow window(instance, s, s.runInSystemTray && isMinimizeSwitch(arguments));
        window.run();
    }

    writeShutdownSettings(s);
    gates.instanceMutex.reset();
    if (s.logEvents)
        LogEvent(std::string(kProgramName) + " stopped");
    return 0;
}

} // namespace tickwell
