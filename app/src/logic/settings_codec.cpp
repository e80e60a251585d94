#include "settings_codec.h"

#include "settings.h"
#include "tw/leading_number.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace tickwell {

std::string encodeInt(long long value) {
    return std::to_string(value);
}

int decodeInt(std::string_view text) {
    const double value = tw::leadingNumber(text);
    if (std::isnan(value))
        return 0;
    const double rounded = std::nearbyint(value); // the default mode: half to even
    if (rounded >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (rounded <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int>(rounded);
}

Pictures picturesForStyle(int timeStyle) {
    if (timeStyle == 0)
        return {"dddd',' MMMM dd',' yyyy", "hh:mm:ss tt"};
    return {"dd MMMM yyyy", "HH:mm:ss"};
}

int rotatedTrayIcon(int trayIcon) {
    // A rotating icon cycles 1..9: reaching the tenth starts again at the first.
    constexpr long long kRotationWrapsAt = 10;
    const long long next = static_cast<long long>(trayIcon) + 1;
    return (next == kRotationWrapsAt || next < 1 || next > kTrayIconCount) ? 1
                                                                           : static_cast<int>(next);
}

std::string serverKey(int n) {
    return "Server" + encodeInt(n);
}

std::string runEntryCommand(std::string_view exePath) {
    const std::string path(exePath);
    if (path.find(' ') == std::string::npos)
        return path + " -minimize";
    return "\"" + path + "\" -minimize";
}

} // namespace tickwell
