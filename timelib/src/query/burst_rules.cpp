#include "query/burst_rules.h"


#include <algorithm>

namespace zymdate {

size_t leastDelaySample(std::span<const Sample> samples) {
    size_t best = 0;
    for (size_t i = 1; i < samples.size(); ++i)
        if (samples[i].delayUnits < samples[best].delayUnits)
            best = i;
    return best;
}

bool burstSettled(std::span<const Sample> samples) {
    if (samples.size() < 2)
        return false;
    const auto before = samples.first(samples.size() - 1);
    const int64_t least = before[leastDelaySample(before)].delayUnits;
    // A new least far below the old one says the floor may lie lower still.
    const int64_t apart = samples.back().delayUnits - least;
    return apart <= kSettledDelayUnits && apart >= -kSettledDelayUnits;
}

uint32_t contactShareMs(uint32_t leftMs, size_t sparesAfter) {
    if (leftMs == 0)
        return 0;
    const auto turns = static_cast<uint32_t>(1 + std::min(sparesAfter, kFailoverTurns));
    return std::max<uint32_t>(1, leftMs / turns);
}

uint32_t laterReplyWaitMs(int64_t leastDelayUnits) {
    constexpr int64_t kMarginMs = 100;
    const int64_t ms = 2 * std::max<int64_t>(0, leastDelayUnits) / tw::kUnitsPerMillisecond + kMarginMs;
    return static_cast<uint32_t>(std::min<int64_t>(ms, kLaterReplyWaitMs));
}

} // namespace zymdate
