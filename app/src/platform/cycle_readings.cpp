#include "cycle_readings.h"

#include "library_calls.h"
#include "program_seams.h"
#include "tw/filetime.h"

namespace tickwell {

bool CycleReadings::networkAlive() {
    return network().isAlive() != FALSE;
}

std::string CycleReadings::nowText() {
    SYSTEMTIME now{};
    localClock().getLocalTime(&now);
    return lib::formatTime(now, "hh':'mm':'ss tt", "MM-dd-yyyy");
}

std::string nextScheduledCheckText(int interval) {
    return lib::nextCheckText(scheduleMinutes(interval));
}

std::string CycleReadings::nextCheckText(int32_t minutes) {
    return lib::nextCheckText(minutes);
}

long long CycleReadings::secondsBetween(const std::string& earlier, const std::string& later) {
    return lib::dateDifference(earlier, later);
}

std::string CycleReadings::pcTimeText(int32_t displayLocalTime, const std::string& datePicture,
                                      const std::string& timePicture) {
    return lib::pcTimeAndDate(displayLocalTime, datePicture, timePicture, " - ");
}

std::string CycleReadings::formatTime(const SYSTEMTIME& time) {
    return lib::formatTime(time, "", "");
}

uint64_t CycleReadings::monotonicMs() {
    return localClock().tickCount();
}

std::string CycleReadings::timeTextIn(uint64_t milliseconds, const std::string& timePicture) {
    SYSTEMTIME now{};
    localClock().getLocalTime(&now);
    // Up to the next whole second: the text must not name a time before the wait ends.
    int64_t units = tw::systemTimeToUnits(now) +
                    static_cast<int64_t>(milliseconds) * tw::kUnitsPerMillisecond +
                    tw::kUnitsPerSecond - 1;
    units -= units % tw::kUnitsPerSecond;
    SYSTEMTIME then{};
    tw::unitsToSystemTime(units, then);
    char text[64] = "";
    ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &then,
                     timePicture.empty() ? nullptr : timePicture.c_str(), text, sizeof(text));
    return text;
}

} // namespace tickwell
