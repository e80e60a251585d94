// How much the time query costs over a bare connect-read-close of the same
// reply, and how far its delay correction lands from the truth, on loopback.
//
//   query_bench [RUNS]     (run under scripts/winerun; results go to stdout)
#include "bench_support.h"
#include "scripted_server.h"
#include "tw/bstr.h"
#include "tw/filetime.h"
#include "tw/handles.h"
#include "zymdate.h"

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using tw::bench::median;
using tw::bench::nowMs;

const std::string kLine = "\n52289 02-01-15 06:21:59 00 0 0 716.2 UTC(NIST) * \n";

bool bareExchange(uint16_t port) {
    const tw::unique_socket owner(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    const SOCKET s = owner.get();
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    a.sin_port = ::htons(port);
    bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0;
    char buffer[1600];
    int n;
    while (ok && (n = ::recv(s, buffer, sizeof(buffer), 0)) > 0) {
    }
    return ok;
}

bool query(uint16_t port, SYSTEMTIME& time) {
    tw::unique_bstr server = tw::ownedBstr("127.0.0.1");
    tw::unique_bstr message;
    int32_t p = port;
    double delay = 0;
    return ::CHECKATOMICTIME(server.addressof(), &p, 10, &delay, &time, message.addressof()) == 1;
}

double msSince2002Line(const SYSTEMTIME& t) {
    SYSTEMTIME base{2002, 1, 0, 15, 6, 21, 59, 0};
    return static_cast<double>(tw::systemTimeToUnits(t) - tw::systemTimeToUnits(base)) /
           tw::kUnitsPerMillisecond;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(5, std::atoi(argv[1])) : 101;
    const tw::testserver::SocketLibrary library; // for the bare exchanges

    // 1. Overhead: the query against a bare exchange of the same reply.
    tw::testserver::ScriptedServer server({tw::testserver::send(kLine)});
    std::vector<double> bare, full, ratio;
    for (int i = 0; i < runs; ++i) {
        double t = nowMs();
        bareExchange(server.port());
        const double b = nowMs() - t;
        SYSTEMTIME time{};
        t = nowMs();
        if (!query(server.port(), time)) {
            std::fprintf(stderr, "query failed\n");
            return 1;
        }
        const double f = nowMs() - t;
        bare.push_back(b);
        full.push_back(f);
        ratio.push_back(f / std::max(b, 1e-3));
    }
    std::printf("runs: %d\n", runs);
    std::printf("bare connect-read-close: median %.3f ms\n", median(bare));
    std::printf("CHECKATOMICTIME:         median %.3f ms\n", median(full));
    std::printf("ratio (per run, median): %.2f\n", median(ratio));

    // 2. Correction error: the server stamps its reply at the moment it sends it,
    //    after holding the connection for `hold` ms. The ideal correction is the
    //    time from that moment until the query returns.
    for (int hold : {0, 50, 200}) {
        std::atomic<double> sentAt{0};
        tw::testserver::ScriptedServer delayed(
            {tw::testserver::pause(hold), tw::testserver::sendFn([&sentAt] {
                 sentAt = nowMs();
                 return kLine;
             })});
        std::vector<double> errors;
        const int n = std::max(5, runs / 10);
        for (int i = 0; i < n; ++i) {
            SYSTEMTIME time{};
            if (!query(delayed.port(), time))
                return 1;
            const double returned = nowMs();
            const double applied = msSince2002Line(time);
            const double ideal = returned - sentAt.load();
            errors.push_back(applied - ideal);
        }
        std::printf("server holds %3d ms: correction error median %+.1f ms (n=%d)\n", hold,
                    median(errors), n);
    }
    return 0;
}
