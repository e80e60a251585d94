#include "settings_codec.h"

#include "settings.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace tickwell {

std::string encodeInt(long long value) {
    return std::to_string(value);
}

int decodeInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    // The longest prefix that reads as a decimal number.
    const size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0)
        return 0;
    size_t end = i;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        const size_t expStart = j;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9')
            ++j;
        if (j > expStart)
            end = j;
    }
    const std::string number(text.substr(start, end - start));
    const double value = std::strtod(number.c_str(), nullptr);
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
    const long long next = static_cast<long long>(trayIcon) + 1;
    return (next == 10 || next < 1 || next > kTrayIconCount) ? 1 : static_cast<int>(next);
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
