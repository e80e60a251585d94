#include "query/time_selection.h"

#include <algorithm>

namespace zymdate {

TimeSelection selectTime(std::span<const TimeInterval> answers) {
    TimeSelection out;
    out.inMajority.assign(answers.size(), false);
    if (answers.empty())
        return out;

    // The sweep: +1 where an interval starts, -1 where it ends; at one point a
    // start comes before an end, so intervals that touch overlap.
    struct Edge {
        int64_t at;
        int step;
    };
    std::vector<Edge> edges;
    edges.reserve(answers.size() * 2);
    for (const TimeInterval& a : answers) {
        const int64_t half = std::max<int64_t>(0, a.halfWidthUnits);
        edges.push_back({a.offsetUnits - half, +1});
        edges.push_back({a.offsetUnits + half, -1});
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& x, const Edge& y) {
        return x.at != y.at ? x.at < y.at : x.step > y.step;
    });

    // The regions where the most intervals overlap, in order.
    struct Region {
        int64_t low, high;
    };
    std::vector<Region> regions;
    int count = 0, most = 0;
    for (size_t i = 0; i < edges.size(); ++i) {
        count += edges[i].step;
        if (edges[i].step < 0 || count < most)
            continue;
        if (count > most) {
            most = count;
            regions.clear();
        }
        // The region runs from this start to the next edge (an end: any start
        // would raise the count above the most).
        regions.push_back({edges[i].at, edges[i + 1].at});
    }

    for (size_t i = 0; i < answers.size(); ++i) {
        const int64_t half = std::max<int64_t>(0, answers[i].halfWidthUnits);
        const int64_t low = answers[i].offsetUnits - half, high = answers[i].offsetUnits + half;
        // An interval that reaches into a region covers it whole: a start or an
        // end inside it would have changed the count there.
        out.inMajority[i] = std::any_of(regions.begin(), regions.end(), [&](const Region& r) {
            return low <= r.low && high >= r.high;
        });
        if (out.inMajority[i])
            ++out.agreeing;
    }
    out.lowUnits = regions.front().low;
    out.highUnits = regions.back().high;
    out.agreed = static_cast<size_t>(most) * 2 > answers.size();
    return out;
}

} // namespace zymdate
