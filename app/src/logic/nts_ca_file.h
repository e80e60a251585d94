// The "NTS CA file" setting as the library is given it, and what the user is
// told when the file cannot be read. No Win32.
#pragma once

#include "settings.h"

#include <string>

namespace tickwell {

// The path handed to SETNTSCAFILE: the setting without blanks around it, empty
// for the Windows certificate store. A relative path is taken from the folder of
// the settings file: the working folder is anyone's (system32 for a program
// started with Windows).
std::string ntsCaFilePath(const Settings& s);

// For the status bar and the log: the file named, and what is used instead.
std::string ntsCaFileUnreadableText(const std::string& path);

} // namespace tickwell
