// Start-up and shutdown: load the settings, pass the common-controls gate, refuse
// a second instance, show the splash, run the main window until Exit, then write
// what changed while running and log the stop.
#pragma once

#include "tw/handles.h"

#include <windows.h>

#include <string>

namespace tickwell {

// The two checks before anything shows: common controls recent enough and no
// other copy running under instanceName. When they pass, the instance mutex is
// held from the check on, so of two copies started at once exactly one passes.
struct StartupGates {
    bool pass = false;
    tw::unique_handle instanceMutex; // empty when the mutex could not be made
};
// Shows the message that says why when the program must end at once.
StartupGates startupGatesPass(const char* instanceName);

// The whole run of the program; its exit code.
int runProgram(HINSTANCE instance, const std::string& arguments);

} // namespace tickwell
