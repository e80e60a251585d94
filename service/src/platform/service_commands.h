// What an administrator does with the service at a command prompt:
//     tickwellsvc install | uninstall | start | stop | status
// Each prints what it did or why not and returns the exit code.
#pragma once

#include <string>

namespace tickwell::service {

enum ExitCode : int {
    kDone = 0,
    kFailed = 1,
    kUsage = 2,
    kNotInstalled = 3,
    kNotElevated = 5, // as ERROR_ACCESS_DENIED
};

// out receives the lines to print.
int runCommand(const std::string& command, std::string& out);

std::string usageText();

} // namespace tickwell::service
