// The limit on what an automatic clock set may change, as the Windows Time
// service caps its phase corrections: a change larger than the limit is not
// made unattended. Plain logic, shared by every program that sets the clock on
// a schedule, with the words that tell a person the sizes.
#pragma once

#include <cstdint>
#include <string>

namespace tw {

// What to do with a clock change of changeMs (either sign) under a limit of
// limitSeconds (0 or less: no limit).
enum class ChangeVerdict {
    Set,    // within the limit, or no limit
    Refuse, // an automatic set beyond the limit: not made
    Ask,    // a set asked for by a person, beyond the limit: asked first
};

inline bool beyondLimit(int64_t changeMs, int32_t limitSeconds) {
    if (limitSeconds <= 0)
        return false;
    const uint64_t size =
        changeMs < 0 ? 0 - static_cast<uint64_t>(changeMs) : static_cast<uint64_t>(changeMs);
    return size > static_cast<uint64_t>(limitSeconds) * 1000;
}

inline ChangeVerdict judgeChange(int64_t changeMs, int32_t limitSeconds, bool automatic) {
    if (!beyondLimit(changeMs, limitSeconds))
        return ChangeVerdict::Set;
    return automatic ? ChangeVerdict::Refuse : ChangeVerdict::Ask;
}

// A count of seconds in words, every unit that is not zero from days down:
// "15 Hours", "2 Days 3 Minutes", "1 Second"; 0 is "0 Seconds".
inline std::string durationWords(uint64_t seconds) {
    struct Unit {
        uint64_t size;
        const char* name;
    };
    static constexpr Unit kUnits[] = {
        {86'400, "Day"}, {3'600, "Hour"}, {60, "Minute"}, {1, "Second"}};
    if (seconds == 0)
        return "0 Seconds";
    std::string text;
    for (const Unit& unit : kUnits) {
        const uint64_t count = seconds / unit.size;
        seconds %= unit.size;
        if (count == 0)
            continue;
        if (!text.empty())
            text += ' ';
        text += std::to_string(count) + ' ' + unit.name + (count == 1 ? "" : "s");
    }
    return text;
}

// The size of a change in words, to the nearest second; a change beyond a
// limit of limitSeconds reads as more than the limit, never as the limit itself.
inline std::string changeWords(int64_t changeMs, int32_t limitSeconds = 0) {
    const uint64_t size =
        changeMs < 0 ? 0 - static_cast<uint64_t>(changeMs) : static_cast<uint64_t>(changeMs);
    uint64_t seconds = size / 1000 + (size % 1000 >= 500 ? 1 : 0);
    if (beyondLimit(changeMs, limitSeconds) && seconds <= static_cast<uint64_t>(limitSeconds))
        seconds = static_cast<uint64_t>(limitSeconds) + 1;
    return durationWords(seconds);
}

// Why a change beyond the limit was not made, in the words every program uses:
// "the server's time is 2 Days away, more than the 15 Hours allowed for
// automatic changes".
inline std::string beyondLimitText(int64_t changeMs, int32_t limitSeconds) {
    return "the server's time is " + changeWords(changeMs, limitSeconds) + " away, more than the " +
           durationWords(static_cast<uint64_t>(limitSeconds)) + " allowed for automatic changes";
}

} // namespace tw
