// The texts a time server sends, made from the PC's own clock and zone: reads
// the clock through the seams and the zone from the platform, and hands both to
// time_server_texts.
#pragma once

#include "time_server/time_server_texts.h"

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

// An Internet message date of a local time and the bias in effect:
// "Tue, 15 Jan 2002 01:21:59 -0500", day and month names of the user's locale.
std::string inetText(const SYSTEMTIME& local, int32_t bias);

// The same for now, with the offset in effect (daylight time included).
std::string inetTime();

// The text of a local time plus some minutes, to the second, in the form the
// next-check setting is stored in (read back with strToVbDate).
std::string nextCheckText(const SYSTEMTIME& local, int32_t minutes);

// The same from now.
std::string nextCheckTextFromNow(int32_t minutes);

} // namespace zymdate
