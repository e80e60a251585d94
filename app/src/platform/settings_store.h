// Reading and writing "Tickwell.ini" beside the program.
#pragma once

#include "settings.h"

#include <string>

namespace tickwell {

inline constexpr char kIniFileName[] = "Tickwell.ini";

// Fills settings() from the file beside the program; on a first start writes
// the file with every default and the default servers. Never fails.
void LoadSettings();
// The same for any settings record and file (iniPath is set from the argument).
void loadSettings(Settings& s, const std::string& iniPath);

// Writes the settings the options dialog changes (not "Tray Icon", "Time Next
// Checked" or existing server keys); the default servers when the list is empty.
// False when a write was refused (the others are still made).
bool SaveSettings();
bool saveSettings(const Settings& s);

// The three keys written at shutdown: "Show Status bar", "Tray Icon", "Time Next
// Checked". False when a write was refused.
bool writeShutdownSettings(const Settings& s);

// The local date and time `minutes` from now, in the form VBDATETOSTR gives.
std::string NextCheckText(int minutes);

} // namespace tickwell
