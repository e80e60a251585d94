// The program's platform effects that tests replace, one seam per kind:
// reading the clock (for deterministic schedules and texts), message boxes
// (they would block a test), the shell (it would open a browser or an editor),
// the network-alive test, the screen's dots per inch and the common controls'
// version (to try the start-up gate on either side of its limit), and the
// registry behind the Run entry (to refuse HKEY_LOCAL_MACHINE as it is refused
// to a standard user). Production binds each to the real call.
#pragma once

#include "tw/seam.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace tickwell {

struct LocalClockSeam {
    void(WINAPI* getLocalTime)(LPSYSTEMTIME);
    ULONGLONG(WINAPI* tickCount)(); // milliseconds since start-up, never set back
    static LocalClockSeam real();
};

struct MessageBoxSeam {
    int(WINAPI* show)(HWND, LPCSTR, LPCSTR, UINT);
    static MessageBoxSeam real();
};

struct ShellOpenSeam {
    HINSTANCE(WINAPI* shellExecute)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    static ShellOpenSeam real();
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
inline MessageBoxSeam& messageBox() {
    return tw::seam<MessageBoxSeam>();
}
inline ShellOpenSeam& shellOpen() {
    return tw::seam<ShellOpenSeam>();
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

inline RegistrySeam& registry() {
    return tw::seam<RegistrySeam>();
}

} // namespace tickwell
