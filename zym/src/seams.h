// The platform effects of zym that tests replace: opening a web address with the
// shell would start a browser on the test machine. Production binds the real call.
#pragma once

#include "tw/scoped_replacement.h"

#include <windows.h>

namespace zym {

struct Seams {
    HINSTANCE(WINAPI* shellExecute)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
};

// The seams in force for this module (the DLL and a white-box test each have their own).
Seams& seams();

// The real Win32 bindings.
Seams realSeams();

// Replaces the seams for the lifetime of a test and restores them after.
using ScopedSeams = tw::ScopedReplacement<Seams, seams>;

} // namespace zym
