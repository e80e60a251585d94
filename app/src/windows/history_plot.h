// The History window's picture: each check's difference from the server over
// time, drawn with GDI into a rectangle. One dot per check, a square for a
// set, a hollow ring for a failure (on the zero line: it measured nothing),
// the zero line, labelled ticks on both axes, and the drift since the last
// set as a line.
#pragma once

#include "history.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tickwell {

enum class HistoryRange { Day, Week, Month, All };

struct PlotSpan {
    int64_t fromMs = 0, toMs = 0; // UTC milliseconds
};

// The time the plot shows for the range, up to now and a fortieth more (All:
// from a fortieth before the first record).
PlotSpan plotSpan(HistoryRange range, std::span<const history::Record> records, int64_t nowMs);

// Tick positions of an axis: round values a person reads ("1 ms, 2 ms, 5 ms" up
// to seconds; hours, days) with at most about maxTicks of them within [low, high].
std::vector<double> valueTicks(double low, double high, int maxTicks);
std::vector<int64_t> timeTicks(const PlotSpan& span, int maxTicks);

// Draws the plot into area of dc, whose font labels the axes; dpi scales the
// marks and lines.
void drawHistoryPlot(HDC dc, const RECT& area, std::span<const history::Record> records,
                     const PlotSpan& span, const std::optional<history::Drift>& drift, int dpi);

} // namespace tickwell
