// timeserver: a small time server on 127.0.0.1 serving this PC's clock, for
// trying Tickwell without Internet access.
//
//   timeserver [PORT] [--rfc868 | --ntp] [--offset SECONDS]
//       Daytime lines in the NIST layout (default), four-byte Time protocol
//       values with --rfc868, or NTP replies over UDP with --ntp (port 123 unless
//       given); --offset serves a time that many seconds off this PC's clock
//       (negative: behind it).
#include "demo_line.h"
#include "ntp_server_reply.h"
#include "scripted_server.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    long port = -1;
    long offset = 0;
    bool rfc868 = false;
    bool ntp = false;
    const auto usage = [] {
        std::fputs("usage: timeserver [PORT] [--rfc868 | --ntp] [--offset SECONDS]\n", stderr);
        return 2;
    };
    constexpr long kMaxOffset = 10L * 366 * 86'400; // a decade either way
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rfc868" || arg == "--ntp") {
            (arg == "--ntp" ? ntp : rfc868) = true;
            continue;
        }
        const bool isOffset = arg == "--offset";
        if (isOffset && ++i == argc)
            return usage();
        char* end = nullptr;
        const long value = std::strtol(argv[i], &end, 10);
        if (end == argv[i] || *end != '\0')
            return usage();
        if (isOffset) {
            if (value < -kMaxOffset || value > kMaxOffset)
                return usage();
            offset = value;
        } else {
            if (value < 0 || value > 65535)
                return usage();
            port = value;
        }
    }
    if (rfc868 && ntp)
        return usage();
    if (port < 0)
        port = ntp ? 123 : 13;
    const int offsetSeconds = static_cast<int>(offset);
    if (ntp) {
        tw::testserver::NtpServerSetup setup;
        setup.offsetMs = offsetSeconds * 1000.0;
        setup.fields.referenceId = tw::testserver::ntpCode("LOCL");
        tw::testserver::DatagramServer server(tw::testserver::ntpServer(setup),
                                              static_cast<uint16_t>(port));
        if (!server.listening()) {
            std::fprintf(stderr, "timeserver: cannot listen on UDP 127.0.0.1:%ld\n", port);
            return 1;
        }
        std::printf("serving NTP on UDP 127.0.0.1:%u\n", server.port());
        std::fflush(stdout);
        server.serveForever();
        return 0;
    }
    tw::testserver::ScriptedServer server({tw::testserver::sendFn([rfc868, offsetSeconds] {
                                              return rfc868 ? tw::demo::timeProtocolBytes(
                                                                  offsetSeconds)
                                                            : tw::demo::daytimeLine(offsetSeconds);
                                          })},
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
