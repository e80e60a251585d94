// The program's platform effects that tests replace, one seam per kind:
// reading the clock (for deterministic schedules and texts), setting it (a
// test must never move this machine's clock), message boxes (they would block
// a test), the shell (it would open a browser or an editor), the network-alive
// test, the screen's dots per inch and the common controls' version (to try
// the start-up gate on either side of its limit), the registry behind the Run
// entry (to refuse HKEY_LOCAL_MACHINE as it is refused to a standard user),
// the notification area (to be missing, as it is at a logon), starting the
// query's thread (to fail) and the Tickwell Time service's pipe (to answer as
// the service would, or not at all). Production binds each to the real call.
#pragma once

#include "service_client.h"
#include "tw/seam.h"
#include "tw/ui_seams.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <optional>
#include <string>

namespace tickwell {

struct LocalClockSeam {
    void(WINAPI* getLocalTime)(LPSYSTEMTIME);
    ULONGLONG(WINAPI* tickCount)(); // milliseconds since start-up, never set back
    static LocalClockSeam real();
};

using tw::messageBox;
using tw::MessageBoxSeam;
using tw::shellOpen;
using tw::ShellOpenSeam;

struct ClockSetterSeam {
    // zymdate's SETPCTIME: sets the clock to utc, words the change.
    std::string (*setPcTime)(SYSTEMTIME& utc, int32_t& matchFlag);
    static ClockSetterSeam real();
};

struct TraySeam {
    // Shell_NotifyIconA: fails while the notification area does not exist.
    BOOL(WINAPI* notify)(DWORD message, PNOTIFYICONDATAA data);
    static TraySeam real();
};

struct ThreadSeam {
    // _beginthreadex with the default stack: the thread's handle, or null.
    HANDLE (*start)(unsigned(__stdcall* routine)(void*), void* argument);
    static ThreadSeam real();
};

struct NetworkSeam {
    // IsNetworkAlive: non-zero when a connection exists.
    BOOL (*isAlive)();
    static NetworkSeam real();
};

struct ScreenSeam {
    // LOGPIXELSY of the screen.
    int (*dpi)();
    static ScreenSeam real();
};

struct CommonControlsSeam {
    // INITCOMCTL32: initialises the given control classes, returns the version.
    double (*init)(int32_t classes);
    static CommonControlsSeam real();
};

struct TimeServiceSeam {
    // Asks the Tickwell Time service over its pipe (no reply: no service).
    service::ClientAnswer (*ask)(const service::Request& request, uint32_t waitMs);
    static TimeServiceSeam real();
};

struct RegistrySeam {
    // zym's SAVESETTING and DELETEREGVALUE (true when done), and a read of a text value.
    bool (*save)(int32_t root, const std::string& keyPath, const std::string& name,
                 const std::string& data);
    bool (*remove)(int32_t root, const std::string& keyPath, const std::string& name);
    std::optional<std::string> (*readText)(int32_t root, const std::string& keyPath,
                                           const std::string& name);
    static RegistrySeam real();
};

inline LocalClockSeam& localClock() {
    return tw::seam<LocalClockSeam>();
}
inline ClockSetterSeam& clockSetter() {
    return tw::seam<ClockSetterSeam>();
}
inline TraySeam& tray() {
    return tw::seam<TraySeam>();
}
inline ThreadSeam& threads() {
    return tw::seam<ThreadSeam>();
}
inline NetworkSeam& network() {
    return tw::seam<NetworkSeam>();
}
inline ScreenSeam& screen() {
    return tw::seam<ScreenSeam>();
}
inline CommonControlsSeam& commonControls() {
    return tw::seam<CommonControlsSeam>();
}

inline TimeServiceSeam& timeService() {
    return tw::seam<TimeServiceSeam>();
}

inline RegistrySeam& registry() {
    return tw::seam<RegistrySeam>();
}

} // namespace tickwell
