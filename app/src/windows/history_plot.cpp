#include "history_plot.h"

#include "history_file.h"
#include "tw/handles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tickwell {

namespace {

constexpr int64_t kMinuteMs = 60'000;
constexpr int64_t kHourMs = 60 * kMinuteMs;
constexpr int64_t kDayMs = 24 * kHourMs;

constexpr COLORREF kBackground = RGB(255, 255, 255);
constexpr COLORREF kFrame = RGB(128, 128, 128);
constexpr COLORREF kGrid = RGB(230, 230, 230);
constexpr COLORREF kZero = RGB(96, 96, 96);
constexpr COLORREF kCheck = RGB(0, 90, 200);
constexpr COLORREF kSet = RGB(0, 140, 60);
constexpr COLORREF kFailure = RGB(200, 30, 30);
constexpr COLORREF kDriftLine = RGB(230, 120, 0);
constexpr COLORREF kChanged = RGB(240, 170, 170);

// Local time less UTC at utcMs, in milliseconds.
int64_t localBiasMs(int64_t utcMs) {
    // The local record read as if it were UTC.
    return utcMsOf(localTimeOf(utcMs)) - utcMs;
}

int64_t timeStep(const PlotSpan& span, int maxTicks) {
    constexpr int64_t kSteps[] = {kMinuteMs,      5 * kMinuteMs, 15 * kMinuteMs, 30 * kMinuteMs,
                                  kHourMs,        3 * kHourMs,   6 * kHourMs,    12 * kHourMs,
                                  kDayMs,         2 * kDayMs,    7 * kDayMs,     14 * kDayMs,
                                  30 * kDayMs,    91 * kDayMs,   182 * kDayMs,   365 * kDayMs};
    const int64_t length = std::max<int64_t>(span.toMs - span.fromMs, 1);
    for (int64_t step : kSteps)
        if (length / step <= maxTicks)
            return step;
    return length / std::max(maxTicks, 1) + 1;
}

std::string timeLabel(int64_t utcMs, int64_t step) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const SYSTEMTIME t = localTimeOf(utcMs);
    char text[32];
    if (step < kDayMs)
        std::snprintf(text, sizeof text, "%02u:%02u", t.wHour, t.wMinute);
    else
        std::snprintf(text, sizeof text, "%s %u", kMonths[(t.wMonth + 11) % 12], t.wDay);
    return text;
}

std::string valueLabel(double value, bool seconds) {
    char text[32];
    if (std::fabs(value) < 1e-9)
        value = 0;
    std::snprintf(text, sizeof text, "%g %s", value, seconds ? "s" : "ms");
    return text;
}

SIZE textSize(HDC dc, const std::string& text) {
    SIZE size{};
    ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

void drawText(HDC dc, int x, int y, const std::string& text) {
    ::TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

} // namespace

PlotSpan plotSpan(HistoryRange range, std::span<const history::Record> records, int64_t nowMs) {
    int64_t from = nowMs - kDayMs;
    switch (range) {
    case HistoryRange::Day:
        break;
    case HistoryRange::Week:
        from = nowMs - 7 * kDayMs;
        break;
    case HistoryRange::Month:
        from = nowMs - 30 * kDayMs;
        break;
    case HistoryRange::All:
        from = nowMs - kHourMs;
        for (const history::Record& r : records)
            from = std::min(from, r.utcMs);
        break;
    }
    // A little room on either side, so that the first and the newest check show whole.
    const int64_t room = (nowMs - from) / 40;
    return {range == HistoryRange::All ? from - room : from, nowMs + room};
}

std::vector<double> valueTicks(double low, double high, int maxTicks) {
    std::vector<double> ticks;
    if (!(high > low) || maxTicks < 1)
        return ticks;
    const double raw = (high - low) / maxTicks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = magnitude;
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * magnitude;
        if (step >= raw)
            break;
    }
    for (double tick = std::ceil(low / step) * step; tick <= high + step * 1e-9; tick += step)
        ticks.push_back(std::fabs(tick) < step * 1e-9 ? 0.0 : tick);
    return ticks;
}

std::vector<int64_t> timeTicks(const PlotSpan& span, int maxTicks) {
    std::vector<int64_t> ticks;
    if (span.toMs <= span.fromMs)
        return ticks;
    const int64_t step = timeStep(span, maxTicks);
    // On round local times: midnight, the hour.
    const int64_t bias = localBiasMs(span.fromMs);
    const int64_t localFrom = span.fromMs + bias;
    int64_t tick = (localFrom / step + (localFrom % step != 0 ? 1 : 0)) * step - bias;
    for (; tick <= span.toMs && ticks.size() < 64; tick += step)
        ticks.push_back(tick);
    return ticks;
}

void drawHistoryPlot(HDC dc, const RECT& area, std::span<const history::Record> records,
                     const PlotSpan& span, const std::optional<history::Drift>& drift, int dpi) {
    const auto px = [dpi](int points96) { return std::max(1, points96 * dpi / 96); };
    tw::unique_hbrush background(::CreateSolidBrush(kBackground));
    ::FillRect(dc, &area, background.get());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0, 0, 0));

    // The records the span shows, and the values up the side.
    std::vector<const history::Record*> shown;
    double low = 0, high = 0;
    const history::Record* lastSet = nullptr;
    for (const history::Record& r : records) {
        if (r.utcMs < span.fromMs || r.utcMs > span.toMs)
            continue;
        shown.push_back(&r);
        if (r.differenceMs) {
            low = std::min(low, static_cast<double>(*r.differenceMs));
            high = std::max(high, static_cast<double>(*r.differenceMs));
        }
        if (r.clockSet)
            lastSet = &r;
    }
    const double perMs = drift ? drift->secondsPerDay * 1000.0 / static_cast<double>(kDayMs) : 0;
    if (lastSet && drift) {
        const double end = perMs * static_cast<double>(span.toMs - lastSet->utcMs);
        low = std::min(low, end);
        high = std::max(high, end);
    }
    if (high - low < 10) { // nothing but matches: a few milliseconds either way
        low = std::min(low, -5.0);
        high = std::max(high, 5.0);
    }
    const double pad = (high - low) * 0.08;
    low -= pad;
    high += pad;
    const bool seconds = std::max(std::fabs(low), std::fabs(high)) >= 2000;
    const double unit = seconds ? 1000.0 : 1.0;

    TEXTMETRICA metrics{};
    ::GetTextMetricsA(dc, &metrics);
    const int lineHeight = metrics.tmHeight;
    const int plotHeightGuess = (area.bottom - area.top) - lineHeight - px(14);
    const std::vector<double> yTicks =
        valueTicks(low / unit, high / unit, std::max(2, plotHeightGuess / (lineHeight * 2)));
    int labelWidth = 0;
    for (double v : yTicks)
        labelWidth = std::max<int>(labelWidth, textSize(dc, valueLabel(v, seconds)).cx);
    const RECT plot{area.left + labelWidth + px(10), area.top + px(8), area.right - px(12),
                    area.bottom - lineHeight - px(8)};
    if (plot.right - plot.left < px(20) || plot.bottom - plot.top < px(20))
        return;
    const double width = plot.right - plot.left, height = plot.bottom - plot.top;
    const auto xAt = [&](int64_t t) {
        return plot.left + static_cast<int>(std::lround(static_cast<double>(t - span.fromMs) /
                                                        static_cast<double>(span.toMs - span.fromMs) *
                                                        width));
    };
    const auto yAt = [&](double ms) {
        return plot.bottom - static_cast<int>(std::lround((ms - low) / (high - low) * height));
    };

    tw::unique_hpen grid(::CreatePen(PS_SOLID, 1, kGrid));
    tw::unique_hpen frame(::CreatePen(PS_SOLID, 1, kFrame));
    HGDIOBJ oldPen = ::SelectObject(dc, grid.get());
    HGDIOBJ oldBrush = ::GetCurrentObject(dc, OBJ_BRUSH);
    // Up the side.
    ::SetTextAlign(dc, TA_RIGHT | TA_TOP);
    for (double v : yTicks) {
        const int y = yAt(v * unit);
        ::MoveToEx(dc, plot.left, y, nullptr);
        ::LineTo(dc, plot.right, y);
        drawText(dc, plot.left - px(5), y - lineHeight / 2, valueLabel(v, seconds));
    }
    // Along the bottom.
    const int maxTimeTicks =
        std::max(2, static_cast<int>(width) / std::max<int>(1, textSize(dc, "Dec 30").cx * 2));
    const std::vector<int64_t> xTicks = timeTicks(span, maxTimeTicks);
    const int64_t step = xTicks.size() > 1 ? xTicks[1] - xTicks[0] : kDayMs;
    ::SetTextAlign(dc, TA_CENTER | TA_TOP);
    for (int64_t t : xTicks) {
        const int x = xAt(t);
        ::MoveToEx(dc, x, plot.top, nullptr);
        ::LineTo(dc, x, plot.bottom);
        drawText(dc, x, plot.bottom + px(3), timeLabel(t, step));
    }
    ::SetTextAlign(dc, TA_LEFT | TA_TOP);
    ::SelectObject(dc, frame.get());
    ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc, plot.left, plot.top, plot.right + 1, plot.bottom + 1);

    const int saved = ::SaveDC(dc);
    ::IntersectClipRect(dc, plot.left + 1, plot.top + 1, plot.right, plot.bottom);
    tw::unique_hpen zero(::CreatePen(PS_DOT, 1, kZero));
    ::SelectObject(dc, zero.get());
    ::MoveToEx(dc, plot.left, yAt(0), nullptr);
    ::LineTo(dc, plot.right, yAt(0));
    // Clock changes by someone else: no pair crosses them.
    tw::unique_hpen changed(::CreatePen(PS_DASH, 1, kChanged));
    ::SelectObject(dc, changed.get());
    for (const history::Record* r : shown)
        if (r->kind == history::Kind::ClockChanged) {
            ::MoveToEx(dc, xAt(r->utcMs), plot.top, nullptr);
            ::LineTo(dc, xAt(r->utcMs), plot.bottom);
        }
    // The drift since the last set.
    tw::unique_hpen driftPen(::CreatePen(PS_SOLID, px(2), kDriftLine));
    if (lastSet && drift) {
        ::SelectObject(dc, driftPen.get());
        ::MoveToEx(dc, xAt(lastSet->utcMs), yAt(0), nullptr);
        ::LineTo(dc, xAt(span.toMs), yAt(perMs * static_cast<double>(span.toMs - lastSet->utcMs)));
    }
    // The checks.
    const int r = px(3);
    tw::unique_hbrush checkBrush(::CreateSolidBrush(kCheck)), setBrush(::CreateSolidBrush(kSet));
    tw::unique_hpen checkPen(::CreatePen(PS_SOLID, 1, kCheck)), setPen(::CreatePen(PS_SOLID, 1, kSet)),
        failurePen(::CreatePen(PS_SOLID, px(1) + (dpi >= 144 ? 1 : 0), kFailure));
    for (const history::Record* record : shown) {
        if (record->kind == history::Kind::ClockChanged)
            continue;
        const int x = xAt(record->utcMs);
        if (!record->differenceMs) {
            ::SelectObject(dc, failurePen.get());
            ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
            ::Ellipse(dc, x - r, yAt(0) - r, x + r + 1, yAt(0) + r + 1);
            continue;
        }
        const int y = yAt(static_cast<double>(*record->differenceMs));
        if (record->clockSet) {
            ::SelectObject(dc, setPen.get());
            ::SelectObject(dc, setBrush.get());
            ::Rectangle(dc, x - r, y - r, x + r + 1, y + r + 1);
        } else {
            ::SelectObject(dc, checkPen.get());
            ::SelectObject(dc, checkBrush.get());
            ::Ellipse(dc, x - r, y - r, x + r + 1, y + r + 1);
        }
    }
    ::RestoreDC(dc, saved);
    ::SelectObject(dc, oldPen);
    ::SelectObject(dc, oldBrush);
}

} // namespace tickwell
