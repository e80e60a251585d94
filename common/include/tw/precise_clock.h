// The PC clock as a FILETIME count, to the 100 ns where the system offers it
// (Windows 8 on); before that to the system's clock tick.
#pragma once

#include "tw/filetime.h"

#include <windows.h>

#include <cstdint>

namespace tw {

inline int64_t preciseClockUnits() {
    using ReadFn = void(WINAPI*)(LPFILETIME);
    static const ReadFn read = [] {
        const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
        const FARPROC precise =
            kernel ? ::GetProcAddress(kernel, "GetSystemTimePreciseAsFileTime") : nullptr;
        return precise ? reinterpret_cast<ReadFn>(reinterpret_cast<void*>(precise))
                       : ::GetSystemTimeAsFileTime;
    }();
    FILETIME ft{};
    read(&ft);
    return toUnits(ft);
}

} // namespace tw
