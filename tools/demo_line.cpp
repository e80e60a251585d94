#include "demo_line.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace tw::demo {

namespace {

// 17 November 1858 (modified Julian day 0) as a FILETIME count of days since 1601.
constexpr int64_t kDaysFrom1601ToMjd0 = 94'187;
constexpr int64_t kUnitsPerDay = 864'000'000'000;
constexpr int64_t kUnitsFrom1601To1900 = 94'354'848'000'000'000;

int64_t nowUnits(SYSTEMTIME& now) {
    ::GetSystemTime(&now);
    FILETIME ft{};
    ::SystemTimeToFileTime(&now, &ft);
    return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

} // namespace

std::string daytimeLine() {
    SYSTEMTIME now{};
    const int64_t units = nowUnits(now);
    const long long mjd = units / kUnitsPerDay - kDaysFrom1601ToMjd0;
    char line[96];
    std::snprintf(line, sizeof(line), "\n%05lld %02u-%02u-%02u %02u:%02u:%02u 00 0 0 050.0 UTC(NIST) * \n",
                  mjd, now.wYear % 100u, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    return line;
}

std::string timeProtocolBytes() {
    SYSTEMTIME now{};
    const auto seconds = static_cast<uint32_t>((nowUnits(now) - kUnitsFrom1601To1900) / 10'000'000);
    return std::string{static_cast<char>(seconds >> 24), static_cast<char>(seconds >> 16),
                       static_cast<char>(seconds >> 8), static_cast<char>(seconds)};
}

} // namespace tw::demo
