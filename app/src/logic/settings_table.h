// Every key of "Tickwell.ini" except the server list, once: its section, its
// name, the value it holds (an int or a text) and its default. Loading, saving
// and the shutdown writes all go through this table. No Win32.
#pragma once

#include "settings.h"

#include <span>
#include <string>

namespace tickwell {

inline constexpr char kGeneralSection[] = "General";
inline constexpr char kNetworkSection[] = "Network";
inline constexpr char kFormatSection[] = "Format";
inline constexpr char kTimeServersSection[] = "TimeServers";

// Defaults of text keys, which depend on what is read before them.
enum class TextDefault {
    Empty,
    NextCheckFromInterval, // the next regular check for the "Interval" just read
    DefaultCurrentServer,  // slot kDefaultCurrentServerSlot of the list (so read after it)
};

// Which writes include a key (a bit set).
enum SettingWrites : unsigned {
    kSaved = 1,      // SaveSettings
    kAtShutdown = 2, // the shutdown writes
};

struct SettingKey {
    const char* section;
    const char* name;
    // Exactly one of the three is set.
    int Settings::*intField;
    bool Settings::*boolField;
    std::string Settings::*textField;
    int intDefault; // also a switch's: 0 or 1
    // A number outside low..high is read as the default; low > high: any number.
    int low;
    int high;
    TextDefault textDefault;
    unsigned writes;
};

// In the order the keys are written (a new file lists them so); a key whose
// default is computed from another comes after it.
std::span<const SettingKey> settingKeys();

} // namespace tickwell
