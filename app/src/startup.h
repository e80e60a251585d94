// Start-up and shutdown: load the settings, pass the common-controls gate, refuse
// a second instance, show the splash, run the main window until Exit, then write
// what changed while running and log the stop.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tickwell {

// The command line asks to start in the tray: "-minimize" alone, in any case,
// with blanks around it.
bool isMinimizeSwitch(std::string_view arguments);

// A common-controls version (major + minor / 100) new enough for the program.
bool commonControlsRecentEnough(double version);

// True when another copy of the program runs: a mutex of that name exists, or
// a window of the program's class with an empty title.
bool anotherInstanceRuns(const char* instanceName);

// The two checks before anything shows: common controls recent enough and no
// other copy running under instanceName. False (after the message that says
// why) when the program must end at once.
bool startupGatesPass(const char* instanceName);

// The whole run of the program; its exit code.
int runProgram(HINSTANCE instance, const std::string& arguments);

} // namespace tickwell
