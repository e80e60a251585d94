// The cycle's readings from the real platform: the libraries' exports for the
// texts and date comparisons, IsNetworkAlive for the connection, the tick count
// for the courtesy window.
#pragma once

#include "cycle.h"

namespace tickwell {

// The next regular check, "Interval" minutes from now, as "Time Next Checked"
// holds it.
std::string nextScheduledCheckText(int interval);

class CycleReadings final : public CycleServices {
  public:
    bool networkAlive() override;
    std::string nowText() override;
    std::string nextCheckText(int32_t minutes) override;
    long long secondsBetween(const std::string& earlier, const std::string& later) override;
    std::string pcTimeText(int32_t displayLocalTime, const std::string& datePicture,
                           const std::string& timePicture) override;
    std::string formatTime(const SYSTEMTIME& time) override;
    uint64_t monotonicMs() override;
    std::string timeTextIn(uint64_t milliseconds, const std::string& timePicture) override;
};

} // namespace tickwell
