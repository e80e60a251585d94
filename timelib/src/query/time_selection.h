// Choosing one time from the answers of several servers: each answer is an
// interval, its offset give or take half its delay and its own distance from
// true time, and the time taken is the middle of the region where most of them
// overlap (Marzullo's algorithm, as NTP selects its sources). A server whose
// interval lies outside that region is a falseticker. No Win32 here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zymdate {

// One answer, in 100-ns units: the server's clock less the PC's, and how far
// either side of that the true offset may lie.
struct TimeInterval {
    int64_t offsetUnits = 0;
    int64_t halfWidthUnits = 0;
};

struct TimeSelection {
    // More than half of the answers overlap in one region.
    bool agreed = false;
    size_t agreeing = 0;           // answers that cover a chosen region
    std::vector<bool> inMajority;  // per answer: it covers the chosen region
    int64_t lowUnits = 0;          // the chosen region; several regions that the
    int64_t highUnits = 0;         // same number of answers share are spanned together
    int64_t offsetUnits() const { return lowUnits + (highUnits - lowUnits) / 2; }
    int64_t errorBoundUnits() const { return (highUnits - lowUnits) / 2; }
};

// Intervals that only touch count as overlapping.
TimeSelection selectTime(std::span<const TimeInterval> answers);

} // namespace zymdate
