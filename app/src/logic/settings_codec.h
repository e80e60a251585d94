// How settings are written as text and read back, the display pictures of a
// time style, the tray icon rotation and the default server list. No Win32.
#pragma once

#include "tw/default_servers.h"

#include <string>
#include <string_view>

namespace tickwell {

// Decimal text, no sign space, no leading zeros ("720", "-1").
std::string encodeInt(long long value);

// Leading blanks skipped, the longest leading number taken (sign, digits,
// fraction, exponent), nothing readable gives 0; rounded half to even and
// held within the 32-bit range.
int decodeInt(std::string_view text);

struct Pictures {
    std::string date;
    std::string time;
};
Pictures picturesForStyle(int timeStyle);

// The tray icon number after one start with rotation on: 1, 2, ..., 9, then 1
// again; a number outside the fourteen icons also starts again at 1.
int rotatedTrayIcon(int trayIcon);

// The default servers, shared with the service.
using tw::kDefaultServers;

// The slot of the default current server: the name that rotates over them all.
inline constexpr int kDefaultCurrentServerSlot = 3;

std::string serverKey(int n);

// The command line of the Run entry: the program with the "-minimize" switch.
// A path with a blank is quoted, or Windows would try "C:\Program.exe" first.
std::string runEntryCommand(std::string_view exePath);

} // namespace tickwell
