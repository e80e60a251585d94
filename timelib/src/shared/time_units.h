// Units of time as plain counts, for the library's arithmetic.
#pragma once

#include <cstdint>

namespace zymdate {

inline constexpr int64_t kMillisecondsPerSecond = 1'000;
inline constexpr int64_t kSecondsPerMinute = 60;
inline constexpr int64_t kSecondsPerHour = 3'600;
inline constexpr int64_t kSecondsPerDay = 86'400;

} // namespace zymdate
