// timeserver: a small time server on 127.0.0.1 serving this PC's clock, for
// trying Tickwell without Internet access.
//
//   timeserver [PORT] [--rfc868]    Daytime lines in the NIST layout (default), or
//                                   four-byte Time protocol values with --rfc868
#include "demo_line.h"
#include "scripted_server.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    long port = 13;
    bool rfc868 = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rfc868") {
            rfc868 = true;
            continue;
        }
        char* end = nullptr;
        port = std::strtol(argv[i], &end, 10);
        if (end == argv[i] || *end != '\0' || port < 0 || port > 65535) {
            std::fputs("usage: timeserver [PORT] [--rfc868]\n", stderr);
            return 2;
        }
    }
    tw::testserver::ScriptedServer server(
        {tw::testserver::sendFn(rfc868 ? tw::demo::timeProtocolBytes : tw::demo::daytimeLine)},
        static_cast<uint16_t>(port));
    if (!server.listening()) {
        std::fprintf(stderr, "timeserver: cannot listen on 127.0.0.1:%ld\n", port);
        return 1;
    }
    std::printf("serving %s on 127.0.0.1:%u\n", rfc868 ? "Time protocol values" : "Daytime lines",
                server.port());
    std::fflush(stdout);
    server.serveForever();
    return 0;
}
