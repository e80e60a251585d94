// timequery: asks a time server for UTC through zymdate.dll, as Tickwell does,
// and prints what the library hands back.
//
//   timequery HOST [PORT] [TIMEOUT] [--log]
//                                     query a time server (port 13, time-out 10 s by default)
//   timequery --demo [--rfc868 | --ntp] [--log]
//                                     start a local time server on 127.0.0.1 and query it
//                                     (--ntp: an NTP server on UDP port 123)
//   HOST may be "nts://name[:port]": NTP with Network Time Security (its key
//   exchange on port 4460 unless given); --ca FILE checks its certificate against
//   the authorities of a PEM file instead of the Windows certificate store.
//   --log appends the outcome to tickwell.log beside the program, as Tickwell does.
//   --set sets this PC's clock to the server time (it needs the system-time
//   privilege; under Wine the clock is never moved and the refusal is shown).
//   timequery --nist | --rfc868 | --inet
//                                     print this PC's time as a Daytime line, a Time
//                                     protocol value or an Internet date
#include "demo_line.h"
#include "event_log.h"
#include "ntp_server_reply.h"
#include "scripted_server.h"
#include "tw/bstr.h"
#include "zymdate.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int usage() {
    std::fputs("usage: timequery HOST [PORT] [TIMEOUT] [--ca FILE] [--set] [--log]\n"
               "       timequery --demo [--rfc868 | --ntp] [--set] [--log]\n"
               "       timequery --nist | --rfc868 | --inet\n"
               "  HOST     time server name or address (a note after a space is ignored);\n"
               "           nts://NAME[:PORT] asks NAME over NTP with Network Time Security\n"
               "  PORT     13 (Daytime over TCP) by default; 37 is the Time protocol, 123\n"
               "           NTP (SNTP over UDP)\n"
               "  TIMEOUT  seconds to wait for data, 10 by default, 0 for no limit\n"
               "  --demo   query a time server started on 127.0.0.1 that serves this PC's clock\n"
               "           (--ntp: on UDP port 123, which must be free)\n"
               "  --ca     check an NTS server's certificate against the authorities in\n"
               "           the PEM file FILE instead of the Windows certificate store\n"
               "  --set    set this PC's clock to the server's time and say how far it moved\n"
               "  --log    append the outcome to tickwell.log beside this program\n"
               "  --nist, --rfc868, --inet   print this PC's UTC time as a Daytime line in the\n"
               "           NIST layout, as a Time protocol value, or its local time as an\n"
               "           Internet date\n",
               stderr);
    return 2;
}

bool parseNumber(const char* text, long low, long high, int32_t& out) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < low || value > high)
        return false;
    out = static_cast<int32_t>(value);
    return true;
}

bool logOutcome = false;
bool setClock = false;

void setPcClock(SYSTEMTIME time) {
    int32_t matchFlag = 0;
    const std::string text = tw::takeBstr(::SETPCTIME(&time, &matchFlag));
    std::printf("set:     %s\n",
                text.empty() ? "(not set: the system-time privilege was refused)" : text.c_str());
    std::printf("match:   %d\n", matchFlag);
}

int query(const std::string& host, int32_t port, int32_t timeout) {
    tw::unique_bstr server = tw::ownedBstr(host);
    tw::unique_bstr message;
    double delay = 0;
    SYSTEMTIME time{};
    const int32_t result =
        ::CHECKATOMICTIME(server.addressof(), &port, timeout, &delay, &time, message.addressof());

    std::printf("result:  %d\n", result);
    std::printf("server:  %s\n", tw::fromBstr(server.get()).c_str());
    if (result == 1) {
        std::printf("time:    %04u-%02u-%02u %02u:%02u:%02u.%03u UTC\n", time.wYear, time.wMonth,
                    time.wDay, time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
        std::printf("delay:   %.1f ms\n", delay);
    }
    std::printf("message: %s\n", tw::fromBstr(message.get()).c_str());
    if (result == 1 && setClock)
        setPcClock(time);
    if (logOutcome)
        tickwell::LogEvent(tw::fromBstr(message.get()));
    return result == 1 ? 0 : 1;
}

} // namespace

int printOwnTime(const std::string& form) {
    if (form == "--nist") {
        int32_t leap = 0;
        double advance = 0;
        std::printf("%s\n", tw::takeBstr(::STTONISTTIME(&leap, &advance)).c_str());
    } else if (form == "--rfc868") {
        const uint32_t value = ::RFC868TIME();
        std::printf("%lu (bytes on the wire: %02X %02X %02X %02X)\n",
                    static_cast<unsigned long>(value), (value >> 24) & 0xFFu, (value >> 16) & 0xFFu,
                    (value >> 8) & 0xFFu, value & 0xFFu);
    } else {
        std::printf("%s\n", tw::takeBstr(::INETTIME()).c_str());
    }
    return 0;
}

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return usage();
    const auto takeSwitch = [&args](const char* name) {
        const auto found = std::find(args.begin(), args.end(), name);
        if (found == args.end())
            return false;
        args.erase(found);
        return true;
    };
    logOutcome = takeSwitch("--log");
    if (const auto ca = std::find(args.begin(), args.end(), "--ca"); ca != args.end()) {
        if (ca + 1 == args.end())
            return usage();
        const tw::unique_bstr file = tw::ownedBstr(*(ca + 1));
        if (!::SETNTSCAFILE(file.get())) {
            std::fprintf(stderr, "timequery: the CA file \"%s\" cannot be read\n",
                         (ca + 1)->c_str());
            return 2;
        }
        args.erase(ca, ca + 2);
    }
    setClock = takeSwitch("--set");
    if (args.empty())
        return usage();
    if (args.size() == 1 && (args[0] == "--nist" || args[0] == "--rfc868" || args[0] == "--inet"))
        return printOwnTime(args[0]);

    if (args[0] == "--demo" && args.size() > 1 && args[1] == "--ntp") {
        tw::testserver::NtpServerSetup setup;
        setup.fields.referenceId = tw::testserver::ntpCode("LOCL");
        tw::testserver::DatagramServer server(tw::testserver::ntpServer(setup), 123);
        if (!server.listening()) {
            std::fputs("timequery: UDP port 123 on 127.0.0.1 is taken or not allowed here\n",
                       stderr);
            return 1;
        }
        std::printf("local NTP server on 127.0.0.1:123 (UDP)\n");
        return query("127.0.0.1", 123, 10);
    }
    if (args[0] == "--demo") {
        const bool rfc868 = args.size() > 1 && args[1] == "--rfc868";
        tw::testserver::ScriptedServer server({tw::testserver::sendFn([rfc868] {
            return rfc868 ? tw::demo::timeProtocolBytes() : tw::demo::daytimeLine();
        })});
        if (!server.listening()) {
            std::fputs("timequery: could not start the local time server on 127.0.0.1\n", stderr);
            return 1;
        }
        std::printf("local time server on 127.0.0.1:%u (%s)\n", server.port(),
                    rfc868 ? "Time protocol" : "Daytime, NIST layout");
        return query("127.0.0.1", server.port(), 10);
    }
    if (args[0].rfind("--", 0) == 0 || args.size() > 3)
        return usage();

    int32_t port = 13, timeout = 10;
    if (args.size() > 1 && !parseNumber(args[1].c_str(), 1, 65535, port)) {
        std::fprintf(stderr, "timequery: the port must be a number from 1 to 65535, not \"%s\"\n",
                     args[1].c_str());
        return 2;
    }
    if (args.size() > 2 && !parseNumber(args[2].c_str(), 0, 86400, timeout)) {
        std::fprintf(stderr,
                     "timequery: the time-out must be seconds from 0 to 86400, not \"%s\"\n",
                     args[2].c_str());
        return 2;
    }
    return query(args[0], port, timeout);
}
