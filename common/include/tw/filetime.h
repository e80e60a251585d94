// FILETIME counts (100-ns units since 1 January 1601 UTC) as plain 64-bit
// integers, and the records they convert to and from: the one home of these
// conversions for every module, tool and test.
#pragma once

#include <windows.h>

#include <cstdint>

namespace tw {

inline constexpr int64_t kUnitsPerMillisecond = 10'000;
inline constexpr int64_t kUnitsPerSecond = 10'000'000;
// 1 January 1900 00:00:00 UTC: 109,207 days after 1 January 1601.
inline constexpr int64_t kUnitsFrom1601To1900 = 94'354'848'000'000'000;
// 1 January 1970 00:00:00 UTC: 134,774 days after 1 January 1601.
inline constexpr int64_t kUnitsFrom1601To1970 = 116'444'736'000'000'000;

inline int64_t toUnits(const FILETIME& ft) {
    return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) |
                                ft.dwLowDateTime);
}

inline FILETIME fromUnits(int64_t units) {
    const auto u = static_cast<uint64_t>(units);
    return FILETIME{static_cast<DWORD>(u & 0xFFFFFFFFu), static_cast<DWORD>(u >> 32)};
}

// The record as a count; a record the platform rejects counts as 0 (1601).
inline int64_t systemTimeToUnits(const SYSTEMTIME& st) {
    FILETIME ft{};
    if (!::SystemTimeToFileTime(&st, &ft))
        return 0;
    return toUnits(ft);
}

// Writes the record for a count; leaves it unchanged when the platform rejects the count.
inline bool unitsToSystemTime(int64_t units, SYSTEMTIME& st) {
    const FILETIME ft = fromUnits(units);
    return ::FileTimeToSystemTime(&ft, &st) != FALSE;
}

} // namespace tw
