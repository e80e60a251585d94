// The program's platform effects that tests replace: reading the clock (for
// deterministic schedules and texts). Production binds each to the real call.
#pragma once

#include "tw/scoped_replacement.h"

#include <windows.h>

namespace tickwell {

struct Seams {
    void(WINAPI* getLocalTime)(LPSYSTEMTIME);
    void(WINAPI* getSystemTime)(LPSYSTEMTIME);
};

Seams& seams();
Seams realSeams();

// Replaces the seams for the lifetime of a test and restores them after.
using ScopedSeams = tw::ScopedReplacement<Seams, seams>;

} // namespace tickwell
