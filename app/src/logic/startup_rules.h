// What start-up decides from plain values: the command line's switch and the
// common controls' version. No Win32.
#pragma once

#include <string_view>

namespace tickwell {

// The oldest common controls the program runs on: the IP-address control came with 4.71.
inline constexpr double kMinimumComCtl32 = 4.71;

// The command line asks to start in the tray: "-minimize" alone, in any case,
// with blanks around it.
bool isMinimizeSwitch(std::string_view arguments);

// A common-controls version (major + minor / 100) new enough for the program.
bool commonControlsRecentEnough(double version);

} // namespace tickwell
