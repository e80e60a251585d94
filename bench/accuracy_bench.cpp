// How close the server time of a query comes to the truth, SNTP beside Daytime,
// against a loopback server whose clock is a known amount ahead and whose
// network is slower out than back. The truth at return is the PC clock plus
// that offset; the physical limit is half the asymmetry for SNTP (it cannot be
// told from an offset) and the whole second of a Daytime line. Run i serves
// the offset plus i/RUNS of a second, so the runs sweep every phase of the
// second that a Daytime line cuts off, however fast they follow each other.
//
// Then robust time: a path whose one-way delays jitter (uniform, 0 to 40 ms
// each way, seeded), one sample against a burst of four (the least delay
// kept), beneath the export with the burst's samples 100 ms apart instead of
// the public servers' 4 s; the same for a queueing path (most delays near
// zero, an exponential with a 6 ms mean, cut at 40 ms). And three servers of
// which one is an hour off, through ASKTIMESERVERS: how often the one off is
// rejected and how far the agreed time is from the truth.
//
//   accuracy_bench [RUNS] [OFFSET-MS] [OUT-MS] [BACK-MS]   (under scripts/winerun)
#include "bench_support.h"
#include "native_ntp_server.h"
#include "ntp_server_reply.h"
#include "query/servers_query.h"
#include "query/sntp_query.h"
#include "scripted_server.h"
#include "tw/bstr.h"
#include "tw/filetime.h"
#include "zymdate.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace tw::testserver;

int64_t unitsOf(const SYSTEMTIME& t) {
    return tw::systemTimeToUnits(t);
}

// A Daytime line in the NIST layout for the PC clock plus offsetMs, whole
// seconds as real servers send it.
std::string daytimeLineAhead(double offsetMs) {
    const auto units =
        static_cast<uint64_t>(pcClockUnits() + std::llround(offsetMs * tw::kUnitsPerMillisecond));
    SYSTEMTIME t{};
    tw::unitsToSystemTime(static_cast<int64_t>(units), t);
    constexpr uint64_t kDaysFrom1601ToMjd0 = 94'187; // to 17 November 1858
    const auto mjd = static_cast<unsigned>(units / 864'000'000'000ULL - kDaysFrom1601ToMjd0);
    char line[80];
    std::snprintf(line, sizeof line,
                  "\n%05u %02u-%02u-%02u %02u:%02u:%02u 00 0 0  50.0 UTC(NIST) * \n", mjd,
                  t.wYear % 100, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return line;
}

struct Figures {
    double medianAbs = 0, worstAbs = 0, medianSigned = 0;
    int failures = 0;
};

// The server's offset for the run under way.
std::atomic<double> servedOffsetMs{0};

// Runs `query` (which returns whether it got a time) `runs` times; the error of
// each is the time it gave less the truth when it returned.
Figures measure(int runs, double offsetMs, const std::function<bool(SYSTEMTIME&)>& query) {
    std::vector<double> errors, magnitudes;
    Figures f;
    for (int i = 0; i < runs; ++i) {
        servedOffsetMs = offsetMs + 1000.0 * i / runs;
        SYSTEMTIME time{};
        const bool ok = query(time);
        const int64_t truth =
            pcClockUnits() + std::llround(servedOffsetMs * tw::kUnitsPerMillisecond);
        if (!ok) {
            ++f.failures;
            continue;
        }
        const double error = static_cast<double>(unitsOf(time) - truth) / tw::kUnitsPerMillisecond;
        errors.push_back(error);
        magnitudes.push_back(std::fabs(error));
    }
    if (!errors.empty()) {
        f.medianAbs = tw::bench::median(magnitudes);
        f.worstAbs = *std::max_element(magnitudes.begin(), magnitudes.end());
        f.medianSigned = tw::bench::median(errors);
    }
    return f;
}

bool exportQuery(const char* host, int32_t port, SYSTEMTIME& time) {
    tw::unique_bstr server = tw::ownedBstr(host);
    tw::unique_bstr message;
    double delay = 0;
    return ::CHECKATOMICTIME(server.addressof(), &port, 5, &delay, &time, message.addressof()) == 1;
}

// One-way delays of a jittery path, drawn on the server's thread.
class JitteryPath {
  public:
    enum class Shape { Uniform, Queueing };
    JitteryPath(Shape shape, uint32_t seed) : shape_(shape), random_(seed) {}
    double draw() {
        const std::lock_guard lock(mutex_);
        if (shape_ == Shape::Uniform)
            return std::uniform_real_distribution<double>(0, kMaxMs)(random_);
        return std::min(kMaxMs, std::exponential_distribution<double>(1 / 6.0)(random_));
    }

  private:
    static constexpr double kMaxMs = 40;
    Shape shape_;
    std::mt19937 random_;
    std::mutex mutex_;
};

struct BurstFigures {
    double medianAbs = 0, worstAbs = 0, meanSamples = 0;
    int failures = 0;
};

// `runs` queries of one server on port 123 over the path, samplesPerServer each.
BurstFigures burstOverJitter(int runs, int samples, JitteryPath::Shape shape, double offsetMs) {
    JitteryPath path(shape, 20261207);
    NtpServerSetup setup;
    setup.offsetMs = offsetMs;
    setup.fields.referenceId = ntpCode("GPS");
    DatagramServer server(
        [&](const std::string& request, int number) {
            holdFor(path.draw()); // on the way out, before the server reads its clock
            std::vector<Datagram> reply = ntpServer(setup)(request, number);
            holdFor(path.draw()); // on the way back
            return reply;
        },
        123);
    BurstFigures f;
    if (!server.listening()) {
        f.failures = runs;
        return f;
    }
    std::vector<double> magnitudes;
    int samplesTaken = 0;
    for (int i = 0; i < runs; ++i) {
        zymdate::ServersRequest request;
        request.servers = {"127.0.0.1"};
        request.port = 123;
        request.budgetMs = 10'000;
        request.samplesPerServer = samples;
        request.sampleSpacingMs = 100; // above the 80 ms a sample may take
        const zymdate::ServersOutcome out = zymdate::askTimeServers(request, nullptr);
        if (!out.ok) {
            ++f.failures;
            continue;
        }
        samplesTaken += out.answers.front().samples;
        const double error =
            static_cast<double>(out.offsetUnits) / tw::kUnitsPerMillisecond - offsetMs;
        magnitudes.push_back(std::fabs(error));
    }
    if (!magnitudes.empty()) {
        f.medianAbs = tw::bench::median(magnitudes);
        f.worstAbs = *std::max_element(magnitudes.begin(), magnitudes.end());
        f.meanSamples = static_cast<double>(samplesTaken) / static_cast<double>(magnitudes.size());
    }
    return f;
}

struct SelectionFigures {
    int runs = 0, agreed = 0, rejected = 0;
    double medianAbs = 0, worstAbs = 0;
};

// Three servers through the export: 127.0.0.1 over the uniform jittery path,
// 127.0.0.2 and 127.0.0.3 native, the third an hour off. All serve the PC
// clock plus offsetMs but the one off.
SelectionFigures threeServersOneOff(int runs, double offsetMs) {
    JitteryPath path(JitteryPath::Shape::Uniform, 868);
    NtpServerSetup setup;
    setup.offsetMs = offsetMs;
    setup.fields.referenceId = ntpCode("GPS");
    DatagramServer first(
        [&](const std::string& request, int number) {
            holdFor(path.draw());
            std::vector<Datagram> reply = ntpServer(setup)(request, number);
            holdFor(path.draw());
            return reply;
        },
        123);
    NativeNtpServer second(2, 123, offsetMs, 600);
    NativeNtpServer off(3, 123, offsetMs + 3'600'000, 600);
    SelectionFigures f;
    if (!first.listening() || !second.answering() || !off.answering())
        return f;
    std::vector<double> magnitudes;
    const tw::unique_bstr servers = tw::ownedBstr("127.0.0.1\n127.0.0.2\n127.0.0.3");
    for (int i = 0; i < runs; ++i) {
        ++f.runs;
        ZYMDATE_TIME_OUTCOME outcome{};
        outcome.size = sizeof outcome;
        const int32_t result =
            ::ASKTIMESERVERS(servers.get(), 123, 10, 3, 1, nullptr, nullptr, &outcome);
        if (result == 1) {
            ++f.agreed;
            magnitudes.push_back(std::fabs(outcome.offsetMs - offsetMs));
        }
        for (int a = 0; a < outcome.answerCount; ++a) {
            if (outcome.answers[a].verdict == ZYMDATE_ANSWER_FALSETICKER &&
                tw::fromBstr(outcome.answers[a].server) == "127.0.0.3")
                ++f.rejected;
            ::SysFreeString(outcome.answers[a].server);
            ::SysFreeString(outcome.answers[a].message);
        }
        ::SysFreeString(outcome.source);
        ::SysFreeString(outcome.message);
    }
    if (!magnitudes.empty()) {
        f.medianAbs = tw::bench::median(magnitudes);
        f.worstAbs = *std::max_element(magnitudes.begin(), magnitudes.end());
    }
    return f;
}

void reportRobustTime(int runs, double offsetMs) {
    std::printf("\nburst over a jittery path (0 to 40 ms each way), %d runs each, "
                "samples 100 ms apart\n",
                runs);
    std::printf("%-28s %12s %12s %12s\n", "", "median |err|", "worst |err|", "samples used");
    for (const auto shape : {JitteryPath::Shape::Uniform, JitteryPath::Shape::Queueing})
        for (const int samples : {1, 4}) {
            const BurstFigures f = burstOverJitter(runs, samples, shape, offsetMs);
            char label[64];
            std::snprintf(label, sizeof label, "%s, N = %d",
                          shape == JitteryPath::Shape::Uniform ? "uniform" : "queueing", samples);
            std::printf("%-28s %9.2f ms %9.2f ms %12.1f", label, f.medianAbs, f.worstAbs,
                        f.meanSamples);
            if (f.failures > 0)
                std::printf("   (%d failed)", f.failures);
            std::printf("\n");
        }
    const SelectionFigures s = threeServersOneOff(runs, offsetMs);
    std::printf("\nthree servers, one an hour off, %d runs: agreed %d, the one off rejected %d, "
                "agreed time from the truth: median %.2f ms, worst %.2f ms\n",
                s.runs, s.agreed, s.rejected, s.medianAbs, s.worstAbs);
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(5, std::atoi(argv[1])) : 100;
    const double offsetMs = argc > 2 ? std::atof(argv[2]) : 1250;
    const int outMs = argc > 3 ? std::atoi(argv[3]) : 3;
    const int backMs = argc > 4 ? std::atoi(argv[4]) : 1;

    {
        NtpServerSetup setup;
        setup.offsetMs = offsetMs;
        setup.outboundMs = outMs;
        setup.returnMs = backMs;
        setup.fields.referenceId = ntpCode("GPS");
        // Port 123 lets the export itself be measured; elsewhere the same exchange is
        // called beneath the export.
        const Answer sweeping = [&setup](const std::string& request, int number) {
            NtpServerSetup now = setup;
            now.offsetMs = servedOffsetMs;
            return ntpServer(now)(request, number);
        };
        DatagramServer ntp(sweeping, 123);
        std::unique_ptr<DatagramServer> anyPort;
        if (!ntp.listening())
            anyPort = std::make_unique<DatagramServer>(sweeping);
        const Figures sntp = measure(runs, offsetMs, [&](SYSTEMTIME& time) {
            if (ntp.listening())
                return exportQuery("127.0.0.1", 123, time);
            const zymdate::QueryOutcome out =
                zymdate::askNtpServer("127.0.0.1", anyPort->port(), 5000);
            time = out.serverTime;
            return out.ok;
        });

        ScriptedServer daytime({sendFn([&] {
            holdFor(outMs);
            std::string line = daytimeLineAhead(servedOffsetMs);
            holdFor(backMs);
            return line;
        })});
        const Figures day = measure(runs, offsetMs, [&](SYSTEMTIME& time) {
            return exportQuery("127.0.0.1", daytime.port(), time);
        });

        std::printf("server %.0f ms ahead (plus 0 to 1 s over the runs), %d ms out and %d ms back, "
                    "%d runs each%s\n",
                    offsetMs, outMs, backMs, runs,
                    ntp.listening() ? "" : " (SNTP beneath the export: port 123 taken)");
        std::printf("%-16s %12s %12s %14s %s\n", "", "median |err|", "worst |err|", "median signed",
                    "physical limit");
        std::printf("%-16s %9.1f ms %9.1f ms %11.1f ms   %.1f ms (half the asymmetry)\n",
                    "SNTP (UDP 123)", sntp.medianAbs, sntp.worstAbs, sntp.medianSigned,
                    std::fabs(outMs - backMs) / 2.0);
        std::printf("%-16s %9.1f ms %9.1f ms %11.1f ms   1000 ms (whole seconds)\n",
                    "Daytime (TCP)", day.medianAbs, day.worstAbs, day.medianSigned);
        if (sntp.failures + day.failures > 0)
            std::printf("failed queries: SNTP %d, Daytime %d\n", sntp.failures, day.failures);
    }
    reportRobustTime(runs, offsetMs);
    return 0;
}
