// Reading the PC clock and the millisecond counter: tests replace them for
// deterministic wording and scheduling.
#pragma once

#include "tw/seam.h"

#include <windows.h>
#include <mmsystem.h>

namespace zymdate {

struct PcClockSeam {
    void(WINAPI* getSystemTime)(LPSYSTEMTIME);
    void(WINAPI* getLocalTime)(LPSYSTEMTIME);
    DWORD(WINAPI* millisecondCounter)();

    static PcClockSeam real() { return {::GetSystemTime, ::GetLocalTime, ::timeGetTime}; }
};

inline PcClockSeam& pcClock() {
    return tw::seam<PcClockSeam>();
}

} // namespace zymdate
