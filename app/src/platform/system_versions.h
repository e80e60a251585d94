// Versions of system files, as the program's exports GETSYSFILEVER and
// INITCOMCTL32 give them: major + minor / 100 of the file version, so 4.71 is
// version 4 minor 71 and 5.8 is version 5 minor 80.
#pragma once

#include <cstdint>
#include <string>

namespace tickwell {

// The version of a file in the Windows system folder; 0 without version information.
double getSysFileVer(const std::string& fileName);

// Initialises the common-control classes (all of them for 0) and returns the
// version of COMCTL32.DLL; 0 when the library cannot be loaded.
double initComCtl32(int32_t classes);

} // namespace tickwell
