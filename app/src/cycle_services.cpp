#include "cycle_services.h"

#include "library_calls.h"
#include "program_seams.h"
#include "settings_store.h"

namespace tickwell {

bool LibraryCycleServices::networkAlive() {
    return network().isAlive() != FALSE;
}

std::string LibraryCycleServices::nowText() {
    SYSTEMTIME now{};
    localClock().getLocalTime(&now);
    return lib::formatTime(now, "hh':'mm':'ss tt", "MM-dd-yyyy");
}

std::string LibraryCycleServices::nextCheckText(int32_t minutes) {
    return NextCheckText(minutes);
}

long long LibraryCycleServices::secondsBetween(const std::string& earlier,
                                               const std::string& later) {
    return lib::dateDifference(earlier, later);
}

std::string LibraryCycleServices::pcTimeText(int32_t displayLocalTime,
                                             const std::string& datePicture,
                                             const std::string& timePicture) {
    return lib::pcTimeAndDate(displayLocalTime, datePicture, timePicture, " - ");
}

std::string LibraryCycleServices::formatTime(const SYSTEMTIME& time) {
    return lib::formatTime(time, "", "");
}

} // namespace tickwell
