#include "systemtime/systemtime.h"

#include "formatting/formatting.h"
#include "shared/time_units.h"
#include "tw/filetime.h"
#include "tw/handles.h"

#include <oleauto.h>

#include <climits>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace zymdate {

namespace {

// Converts through the platform's FILETIME zone call; source is copied first.
using ZoneConversion = BOOL(WINAPI*)(const FILETIME*, LPFILETIME);
void convertZone(ZoneConversion convert, const SYSTEMTIME& source, SYSTEMTIME& target) {
    const FILETIME from = tw::fromUnits(tw::systemTimeToUnits(source));
    FILETIME to{};
    if (!convert(&from, &to))
        return;
    tw::unitsToSystemTime(tw::toUnits(to), target);
}

// The text between single spaces; a field past the end is empty.
std::string spaceField(std::string_view text, size_t index) {
    size_t start = 0;
    for (size_t i = 0; i < index; ++i) {
        const size_t space = text.find(' ', start);
        if (space == std::string_view::npos)
            return {};
        start = space + 1;
    }
    return std::string(text.substr(start, text.find(' ', start) - start));
}

} // namespace

void addMilliseconds(SYSTEMTIME& time, int64_t milliseconds) {
    // 64 bits: any 32-bit count of milliseconds, as 100-ns units, fits with room.
    // Unsigned: Wine converts records up to the last FILETIME, so a sum may pass
    // 2^63; it wraps (defined) to a count the platform rejects, as does a sum
    // below 1601, and the record stays.
    static_assert(sizeof(int64_t) * CHAR_BIT == 64);
    const uint64_t from = static_cast<uint64_t>(tw::systemTimeToUnits(time));
    const uint64_t step = static_cast<uint64_t>(milliseconds) * tw::kUnitsPerMillisecond;
    tw::unitsToSystemTime(static_cast<int64_t>(from + step), time);
}

void utcToLocal(const SYSTEMTIME& utc, SYSTEMTIME& local) {
    convertZone(::FileTimeToLocalFileTime, utc, local);
}

void localToUtc(const SYSTEMTIME& local, SYSTEMTIME& utc) {
    convertZone(::LocalFileTimeToFileTime, local, utc);
}

SYSTEMTIME systemTimeFromText(std::string_view text) {
    SYSTEMTIME time{};
    if (!::VariantTimeToSystemTime(strToVbDate(text), &time))
        time = SYSTEMTIME{};
    return time;
}

int32_t secondsBetween(double firstVariantDate, double secondVariantDate) {
    const long double seconds =
        (static_cast<long double>(secondVariantDate) - firstVariantDate) * kSecondsPerDay;
    // nearbyint rounds halves to even under the default rounding mode.
    const long double rounded = std::nearbyint(seconds);
    if (!(rounded >= INT32_MIN && rounded <= INT32_MAX))
        return INT32_MIN; // also NaN
    return static_cast<int32_t>(rounded);
}

int32_t dateDifference(std::string_view first, std::string_view second) {
    return secondsBetween(strToVbDate(first), strToVbDate(second));
}

bool isEarlier(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    const auto key = [](const SYSTEMTIME& t) {
        return std::tie(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    };
    return key(a) < key(b);
}

bool isFileDateNewer(std::string_view fileName, std::string_view dateText) {
    // No file: the earliest possible time.
    SYSTEMTIME fileTime{};
    WIN32_FIND_DATAA found{};
    const std::string name(fileName);
    tw::unique_find search(::FindFirstFileA(name.c_str(), &found));
    if (search) {
        FILETIME local{};
        ::FileTimeToLocalFileTime(&found.ftLastWriteTime, &local);
        ::FileTimeToSystemTime(&local, &fileTime);
    }
    const SYSTEMTIME given =
        systemTimeFromText(spaceField(dateText, 1) + ' ' + spaceField(dateText, 2));
    return isEarlier(fileTime, given);
}

} // namespace zymdate
