// The texts and numbers time services exchange, built from a given time and
// zone state: the Daytime line in the NIST layout, the Time protocol
// (RFC 868) value and the zone offset of an Internet date. No platform calls;
// time_server/time_server_clock.h feeds these from the PC clock.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace zymdate {

// Which rules of the PC's zone are in force (GetTimeZoneInformation's answer).
enum class ZoneTime { Unknown, Standard, Daylight };

// The library's own line ends without a space after the on-time marker, so
// the query does not take it for a server's reply. Real servers send one.
inline constexpr std::string_view kNistLineEnding = " UTC(NIST) *";
inline constexpr std::string_view kNistServerLineEnding = " UTC(NIST) * ";
// Health digit: 0, the server's time is good.
inline constexpr std::string_view kNistHealthy = "0";
// Advance written when the caller gives none, in milliseconds.
inline constexpr double kDefaultAdvance = 50.0;

// The daylight-saving code TT of a UTC date: "50" in daylight time and "00"
// in standard time, counting down the days to the change in the month of a
// change (October when in daylight time, April when in standard time).
std::string daylightSavingCode(const SYSTEMTIME& utc, ZoneTime zone);

// The advance in milliseconds as "000.0": at least three digits before the
// point, exactly one after, rounded as the platform's number pictures round:
// half away from zero on the value's 15 significant decimal digits.
std::string advanceText(double advance);

// The Daytime line of a UTC time in the NIST layout:
//   MJD YY-MM-DD HH:MM:SS TT L H msADV UTC(NIST) *
// An advance of 0 is replaced by kDefaultAdvance in the caller's variable.
// The demo server passes kNistServerLineEnding to serve lines as real
// servers do.
std::string nistLine(const SYSTEMTIME& utc, ZoneTime zone, int32_t leap, double& advance,
                     std::string_view ending = kNistLineEnding);

// Seconds since 1 January 1900 00:00:00 UTC, modulo 2^32: the count starts
// again from 0 on 7 February 2036 06:28:16.
uint32_t rfc868Value(const SYSTEMTIME& utc);

// Minutes to add to local time to get UTC under the rules in force.
int32_t biasInEffect(int32_t bias, int32_t standardBias, int32_t daylightBias, ZoneTime zone);

// The zone offset of an Internet date for a bias: "+0100" east of UTC,
// "-0500" west of it, "-0000" for UTC itself.
std::string inetZoneText(int32_t bias);

} // namespace zymdate
