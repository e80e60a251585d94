// The few platform effects that tests replace: reading the clock and the
// millisecond counter (for deterministic wording and scheduling), setting the
// clock and enabling its privilege (it must never move a test machine's clock,
// and Wine never refuses the privilege) and message boxes (they would block a
// test). Production binds each to the real Win32 call.
#pragma once

#include "tw/scoped_replacement.h"

#include <windows.h>

namespace zymdate {

struct Seams {
    void(WINAPI* getSystemTime)(LPSYSTEMTIME);
    void(WINAPI* getLocalTime)(LPSYSTEMTIME);
    DWORD(WINAPI* millisecondCounter)();
    BOOL(WINAPI* setSystemTime)(const SYSTEMTIME*);
    int(WINAPI* messageBox)(HWND, LPCSTR, LPCSTR, UINT);
    BOOL(WINAPI* enableTimePrivilege)();
};

// The seams in force for this module (the DLL and a white-box test each have their own).
Seams& seams();

// The real Win32 bindings.
Seams realSeams();

// Replaces the seams for the lifetime of a test and restores them after.
using ScopedSeams = tw::ScopedReplacement<Seams, seams>;

} // namespace zymdate
