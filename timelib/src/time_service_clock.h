// The time-service texts of the PC's own clock and zone: reads the clock
// through the seams and the zone from the platform, and hands both to
// time_service_texts.
#pragma once

#include "time_service_texts.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace zymdate {

ZoneTime zoneTimeFromId(DWORD timeZoneId);

// The Daytime line of the current UTC time. Runs at high process priority so
// the line is not held up between reading the clock and returning.
std::string sysTimeToNistTime(int32_t leap, double& advance);

// The Time protocol value of the current UTC time.
uint32_t rfc868Time();

} // namespace zymdate
