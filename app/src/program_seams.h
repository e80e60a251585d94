// The program's platform effects that tests replace: reading the clock (for
// deterministic schedules and texts), message boxes (they would block a test),
// the shell (it would open a browser or an editor), the network-alive test, the
// screen's dots per inch, the common controls' version (to try the start-up
// gate on either side of its limit) and the registry behind the Run entry (to
// refuse HKEY_LOCAL_MACHINE as it is refused to a standard user). Production
// binds each to the real call.
#pragma once

#include "tw/scoped_replacement.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace tickwell {

struct Seams {
    void(WINAPI* getLocalTime)(LPSYSTEMTIME);
    int(WINAPI* messageBox)(HWND, LPCSTR, LPCSTR, UINT);
    HINSTANCE(WINAPI* shellExecute)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    // IsNetworkAlive: non-zero when a connection exists.
    BOOL (*networkAlive)();
    // LOGPIXELSY of the screen.
    int (*screenDpi)();
    // INITCOMCTL32: initialises the given control classes, returns the version.
    double (*initCommonControls)(int32_t classes);
    // The Run entry's registry: zym's SAVESETTING and DELETEREGVALUE (true when
    // done), and a read of a text value.
    bool (*saveRegistryText)(int32_t root, const std::string& keyPath, const std::string& name,
                             const std::string& data);
    bool (*deleteRegistryValue)(int32_t root, const std::string& keyPath, const std::string& name);
    std::optional<std::string> (*readRegistryText)(int32_t root, const std::string& keyPath,
                                                   const std::string& name);
};

Seams& seams();
Seams realSeams();

// Replaces the seams for the lifetime of a test and restores them after.
using ScopedSeams = tw::ScopedReplacement<Seams, seams>;

} // namespace tickwell
