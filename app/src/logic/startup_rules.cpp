#include "startup_rules.h"

#include "tw/trim.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

namespace tickwell {

bool isMinimizeSwitch(std::string_view arguments) {
    std::string word(tw::trimmed(arguments, tw::kSpace));
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return word == "-minimize";
}

bool commonControlsRecentEnough(double version) {
    // In hundredths: 4.71 as a sum of 4 and 71/100 need not equal the literal 4.71.
    return std::lround(version * 100) >= std::lround(kMinimumComCtl32 * 100);
}

} // namespace tickwell
