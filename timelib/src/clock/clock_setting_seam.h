// Setting the PC clock and enabling its privilege: tests replace them, as a
// test must never move the machine's clock (and Wine never refuses the
// privilege).
#pragma once

#include "clock/clock_setter.h"
#include "tw/seam.h"

#include <windows.h>

namespace zymdate {

struct ClockSettingSeam {
    BOOL(WINAPI* enablePrivilege)();
    BOOL(WINAPI* setSystemTime)(const SYSTEMTIME*);

    static ClockSettingSeam real() { return {enableSystemTimePrivilege, ::SetSystemTime}; }
};

inline ClockSettingSeam& clockSetting() {
    return tw::seam<ClockSettingSeam>();
}

} // namespace zymdate
