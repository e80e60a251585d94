#include "time_service_clock.h"

#include "seams.h"

namespace zymdate {

namespace {

// Raises the whole process to high priority and returns it to normal, as the
// time query does, even when building the text fails.
class HighPriorityScope {
  public:
    HighPriorityScope() { ::SetPriorityClass(::GetCurrentProcess(), HIGH_PRIORITY_CLASS); }
    ~HighPriorityScope() { ::SetPriorityClass(::GetCurrentProcess(), NORMAL_PRIORITY_CLASS); }
    HighPriorityScope(const HighPriorityScope&) = delete;
    HighPriorityScope& operator=(const HighPriorityScope&) = delete;
};

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
    seams().getSystemTime(&now);
    TIME_ZONE_INFORMATION zone{};
    const DWORD zoneId = ::GetTimeZoneInformation(&zone);
    return nistLine(now, zoneTimeFromId(zoneId), leap, advance);
}

uint32_t rfc868Time() {
    SYSTEMTIME now{};
    seams().getSystemTime(&now);
    return rfc868Value(now);
}

} // namespace zymdate
