// tickwellsvc.exe: started by the service control manager it runs the Tickwell
// Time service; started at a command prompt it installs, removes, starts, stops
// or reports on it.
#include "service_commands.h"
#include "service_host.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    using namespace tickwell::service;
    if (argc < 2) {
        if (runAsService())
            return 0;
        std::fputs(usageText().c_str(), stderr);
        return kUsage;
    }
    std::string out;
    const int code = argc == 2 ? runCommand(argv[1], out) : (out = usageText(), int{kUsage});
    std::fputs(out.c_str(), code == kDone ? stdout : stderr);
    return code;
}
