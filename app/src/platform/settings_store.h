// Reading and writing "Tickwell.ini". The program's settings live in one record
// that start-up owns for the whole run and lends to the windows; this is the
// only code that writes the file.
#pragma once

#include "settings.h"

#include <string>

namespace tickwell {

inline constexpr char kIniFileName[] = "Tickwell.ini";

// Where the program keeps its settings: beside the program.
std::string settingsFilePath();

// Fills the record from the file at iniPath (iniPath is kept in it); on a first
// start writes the file with every default and the default servers. Never fails.
void LoadSettings(Settings& s, const std::string& iniPath);

// Writes the settings the options dialog changes (not "Tray Icon", "Time Next
// Checked" or existing server keys); the default servers when the list is empty.
// False when a write was refused (the others are still made).
bool SaveSettings(const Settings& s);

// Writes the last server of the list, the one just added, to its slot. False
// when the write was refused.
bool saveAddedServer(const Settings& s);

// The three keys written at shutdown: "Show Status bar", "Tray Icon", "Time Next
// Checked". False when a write was refused.
bool writeShutdownSettings(const Settings& s);

} // namespace tickwell
