#include "time_server/time_server_clock.h"

#include "clock/pc_clock_seam.h"
#include "formatting/formatting.h"
#include "shared/priority_scope.h"
#include "shared/time_units.h"

#include <oleauto.h>

namespace zymdate {

namespace {

constexpr const char* kInetDatePicture = "ddd',' d MMM yyyy";
constexpr const char* kInetTimePicture = "HH':'mm':'ss";

} // namespace

ZoneTime zoneTimeFromId(DWORD timeZoneId) {
    switch (timeZoneId) {
    case TIME_ZONE_ID_STANDARD:
        return ZoneTime::Standard;
    case TIME_ZONE_ID_DAYLIGHT:
        return ZoneTime::Daylight;
    default: // TIME_ZONE_ID_UNKNOWN (no daylight rules) or TIME_ZONE_ID_INVALID
        return ZoneTime::Unknown;
    }
}

std::string sysTimeToNistTime(int32_t leap, double& advance) {
    HighPriorityScope priority;
    SYSTEMTIME now{};
    pcClock().getSystemTime(&now);
    TIME_ZONE_INFORMATION zone{};
    const DWORD zoneId = ::GetTimeZoneInformation(&zone);
    return nistLine(now, zoneTimeFromId(zoneId), leap, advance);
}

uint32_t rfc868Time() {
    SYSTEMTIME now{};
    pcClock().getSystemTime(&now);
    return rfc868Value(now);
}

std::string inetText(const SYSTEMTIME& local, int32_t bias) {
    return formatDatePart(local, 0, kInetDatePicture) + ' ' +
           formatTimePart(local, 0, kInetTimePicture) + ' ' + inetZoneText(bias);
}

std::string inetTime() {
    SYSTEMTIME now{};
    pcClock().getLocalTime(&now);
    TIME_ZONE_INFORMATION zone{};
    const DWORD zoneId = ::GetTimeZoneInformation(&zone);
    return inetText(
        now, biasInEffect(zone.Bias, zone.StandardBias, zone.DaylightBias, zoneTimeFromId(zoneId)));
}

std::string nextCheckText(const SYSTEMTIME& local, int32_t minutes) {
    // Whole seconds, as the stored text holds them. Straight from the record:
    // a month-first text would go through the date parser, which reads it day
    // first where the user's short date puts the day first.
    SYSTEMTIME wholeSeconds = local;
    wholeSeconds.wMilliseconds = 0;
    double now = 0;
    if (!::SystemTimeToVariantTime(&wholeSeconds, &now))
        now = 0; // what the parser makes of an unreadable text
    return vbDateToStr(now + minutes * static_cast<double>(kSecondsPerMinute) / kSecondsPerDay);
}

std::string nextCheckTextFromNow(int32_t minutes) {
    SYSTEMTIME now{};
    pcClock().getLocalTime(&now);
    return nextCheckText(now, minutes);
}

} // namespace zymdate
