// Asking several time servers, each with a burst of samples, and taking the
// time most of them agree on. A server that gives no time is skipped and the
// next one of the list asked in its place, all within one time budget. Over
// NTP (port 123) the servers are asked side by side, each at its own courtesy
// spacing; a server named "nts://host" is asked over NTP with Network Time
// Security whatever the port, and only its authenticated replies count; Daytime and Time protocol replies carry whole seconds, so over TCP
// each server is asked once, one after another.
#pragma once

#include "burst_rules.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zymdate {

enum class AnswerVerdict {
    Used = 1,        // in the agreeing majority: the time rests on it
    Refused = 2,     // gave no time: silent, unreachable, unhealthy, a kiss-o'-death
    Falseticker = 3, // answered, outside the region the majority agrees on
    NoMajority = 4,  // answered, but no time was agreed by more than half
};

struct ServerAnswer {
    std::string server; // the cleaned name
    AnswerVerdict verdict = AnswerVerdict::Refused;
    bool rateKiss = false; // it asked to be asked less often (kiss-o'-death RATE)
    bool authenticated = false; // an NTS server whose samples all authenticated
    int samples = 0;       // answers taken from it; 0 when it gave no time
    // Of its chosen sample, in 100-ns units (answered only). For TCP the delay
    // is the whole exchange and the root distance the second its reply is cut to.
    int64_t offsetUnits = 0;
    int64_t delayUnits = 0;
    int64_t rootDistanceUnits = 0;
    std::string message; // its answer worded, why it gave no time, or why it was not used
};

struct ServersOutcome {
    bool ok = false;
    std::vector<ServerAnswer> answers; // every server asked, in the order it was asked
    SYSTEMTIME serverTime{};           // UTC to the millisecond (ok only)
    int64_t offsetUnits = 0;           // the agreed time less the PC clock (ok only)
    int64_t errorBoundUnits = 0;       // the true time lies within serverTime +- this
    int64_t delayUnits = 0;            // of the source's chosen sample
    std::string source;                // the server the time came from (ok only)
    bool authenticated = false;        // the source is an NTS server (ok only)
    std::string message;               // one line: every server asked and its offset, or why not
};

// Told what the query is doing, in a text for a status bar ("Asking 3 servers").
using QueryProgress = std::function<void(const std::string& text)>;

struct ServersRequest {
    std::vector<std::string> servers; // in order; cleaned and made distinct by askTimeServers
    int port = 123;
    uint32_t budgetMs = 0;    // the whole call; 0: kNtpDefaultBudgetMs
    int serversToAsk = 1;     // held within 1..kMaxServersToAsk
    int samplesPerServer = 1; // held within 1..kMaxSamplesPerServer; 1 over TCP
    // Between the samples of a burst: the public servers' courtesy interval.
    // Only a benchmark against its own server asks faster.
    uint32_t sampleSpacingMs = kSampleSpacingMs;
    // The authorities NTS servers' certificates are checked against, a PEM file;
    // empty: the Windows certificate store.
    std::string ntsCaFile;
};

ServersOutcome askTimeServers(const ServersRequest& request, const QueryProgress& progress);

// The server names of a list as askTimeServers asks them: each cleaned as a
// single query cleans its server, blank ones dropped, later repeats of a name
// (in any case) dropped.
std::vector<std::string> distinctServers(const std::vector<std::string>& names);

// Splits a text of one server a line (CR LF, LF or CR).
std::vector<std::string> serverLines(std::string_view text);

} // namespace zymdate
