#include "demo_line.h"

#include "time_server/time_server_clock.h"
#include "time_server/time_server_texts.h"
#include "tw/filetime.h"

#include <windows.h>

namespace tw::demo {

namespace {

SYSTEMTIME utcNow(int offsetSeconds) {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    if (offsetSeconds == 0)
        return now;
    tw::unitsToSystemTime(tw::systemTimeToUnits(now) + offsetSeconds * tw::kUnitsPerSecond, now);
    return now;
}

} // namespace

std::string daytimeLine(int offsetSeconds) {
    const SYSTEMTIME now = utcNow(offsetSeconds);
    TIME_ZONE_INFORMATION zone{};
    const auto zoneTime = zymdate::zoneTimeFromId(::GetTimeZoneInformation(&zone));
    double advance = 0; // the library writes its default advance
    // Real servers end the line with the on-time marker and a space, and wrap it in LFs.
    return "\n" + zymdate::nistLine(now, zoneTime, 0, advance, zymdate::kNistServerLineEnding) +
           "\n";
}

std::string timeProtocolBytes(int offsetSeconds) {
    const SYSTEMTIME now = utcNow(offsetSeconds);
    const uint32_t seconds = zymdate::rfc868Value(now);
    return std::string{static_cast<char>(seconds >> 24), static_cast<char>(seconds >> 16),
                       static_cast<char>(seconds >> 8), static_cast<char>(seconds)};
}

} // namespace tw::demo
