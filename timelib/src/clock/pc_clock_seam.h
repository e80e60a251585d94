// Reading the PC clock and the millisecond counter: tests replace them for
// deterministic wording and scheduling.
#pragma once

#include "tw/filetime.h"
#include "tw/precise_clock.h"
#include "tw/seam.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

namespace zymdate {

namespace detail {

using tw::preciseClockUnits;

// The performance counter in 100-ns units: it runs on when the clock is set.
inline int64_t counterClockUnits() {
    static const int64_t frequency = [] {
        LARGE_INTEGER f{};
        ::QueryPerformanceFrequency(&f);
        return f.QuadPart > 0 ? f.QuadPart : 1;
    }();
    LARGE_INTEGER c{};
    ::QueryPerformanceCounter(&c);
    // Split so that the product cannot overflow after months of uptime.
    return c.QuadPart / frequency * tw::kUnitsPerSecond +
           c.QuadPart % frequency * tw::kUnitsPerSecond / frequency;
}

} // namespace detail

struct PcClockSeam {
    void(WINAPI* getSystemTime)(LPSYSTEMTIME);
    void(WINAPI* getLocalTime)(LPSYSTEMTIME);
    DWORD(WINAPI* millisecondCounter)();
    int64_t (*preciseUnits)(); // the PC clock, 100-ns units since 1601 UTC
    int64_t (*counterUnits)(); // a monotonic count of 100-ns units

    static PcClockSeam real() {
        return {::GetSystemTime, ::GetLocalTime, ::timeGetTime, detail::preciseClockUnits,
                detail::counterClockUnits};
    }
};

inline PcClockSeam& pcClock() {
    return tw::seam<PcClockSeam>();
}

} // namespace zymdate
