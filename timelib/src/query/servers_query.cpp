#include "query/servers_query.h"

#include "query/burst_rules.h"
#include "query/ntp_exchange.h"
#include "query/ntp_judgement.h"
#include "query/ntp_packet.h"
#include "query/nts_client.h"
#include "query/nts_ke.h"
#include "query/query_failure.h"
#include "query/query_messages.h"
#include "query/sntp_query.h"
#include "query/time_agreement.h"
#include "query/time_query.h"
#include "shared/priority_scope.h"
#include "socket/deadline.h"
#include "socket/resolver.h"
#include "socket/session.h"
#include "socket/socket_errors.h"
#include "socket/tcp_connection.h"
#include "socket/udp_socket.h"
#include "tw/filetime.h"
#include "tw/server_name.h"
#include "zymdate_texts.h"

#include <winsock2.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

namespace zymdate {

namespace {

constexpr uint32_t kNever = UINT32_MAX;
// A Daytime line or a Time protocol value is cut to the second: its time may lie
// anywhere within a second of what it says.
constexpr int64_t kWholeSecondReplyUnits = tw::kUnitsPerSecond;

// While a key exchange runs on its thread, the peer looks this often whether it is done.
constexpr uint32_t kKeyExchangePollMs = 10;

// A key exchange on a thread of its own, so that the other servers' datagrams are
// read on time meanwhile. It ends within its budget by itself.
class KeyExchangeJob {
  public:
    KeyExchangeJob(std::string server, nts::KeTarget target, std::string caFile,
                   uint32_t budgetMs)
        : thread_([this, server = std::move(server), target = std::move(target),
                   caFile = std::move(caFile), budgetMs] {
              result_ = nts::exchangeKeys(server, target, caFile, budgetMs);
              done_.store(true);
          }) {}
    ~KeyExchangeJob() { wait(); }
    KeyExchangeJob(const KeyExchangeJob&) = delete;
    KeyExchangeJob& operator=(const KeyExchangeJob&) = delete;

    bool done() const { return done_.load(); }
    // It ends within its budget by itself.
    void wait() {
        if (thread_.joinable())
            thread_.join();
    }
    nts::KeyExchange& result() { return result_; } // once done

  private:
    nts::KeyExchange result_;
    std::atomic<bool> done_{false};
    std::thread thread_; // last: it starts once the rest is made
};

// What an NTS server adds to an NTP one: the association with its keys and
// cookies, each request's unique identifier, and the key exchange under way.
struct NtsPart {
    nts::KeTarget target;
    std::string caFile;
    std::string storeKey;
    std::optional<nts::Association> association;
    std::vector<nts::SealedRequest> sealed; // beside sent_, one for each request
    std::unique_ptr<KeyExchangeJob> job;
    bool exchanged = false; // a key exchange was run by this query
    std::string warnings;   // of the key exchange, for the answer's text
};

// One NTP server being asked: its first request repeated for datagrams lost on
// the way (each of its addresses in turn), then the rest of its burst. An NTS
// server first gets its keys and cookies (kept from an earlier query or from a key
// exchange), and only replies that authenticate count.
class NtpPeer {
  public:
    NtpPeer(std::string server, int samplesWanted, uint32_t spacingMs, const std::string& caFile)
        : server_(std::move(server)), wanted_(samplesWanted), spacingMs_(spacingMs) {
        if (auto target = nts::keTarget(server_)) {
            nts_ = std::make_unique<NtsPart>();
            nts_->target = std::move(*target);
            nts_->caFile = caFile;
            nts_->storeKey = nts::associationKey(server_, caFile);
        }
    }

    void start(int port, uint32_t nowMs, uint32_t contactMs) {
        contactEndMs_ = nowMs + contactMs;
        if (nts_) {
            if (nts_->target.host.empty()) {
                fail(server_ + " is not an NTS server name: write nts://host or nts://host:port");
                return;
            }
            nts_->association = nts::takeAssociation(nts_->storeKey);
            if (nts_->association)
                resolveNtp(nowMs);
            else
                beginKeyExchange(nowMs);
            return;
        }
        if (const int resolved = net::resolve(server_, port, SOCK_DGRAM, addresses_);
            resolved != net::kOk) {
            fail(failureText(server_, QueryStage::Reaching, resolved));
            return;
        }
        openAddress(nowMs);
    }

    // What is left of an NTS server's cookies, kept for the next query.
    void keepCookies() {
        if (nts_ && nts_->association)
            nts::keepAssociation(nts_->storeKey, std::move(*nts_->association));
    }

    bool finished() const { return state_ == State::Finished; }
    bool answered() const { return !samples_.empty(); }
    const std::string& server() const { return server_; }
    int samplesRequested() const { return samplesRequested_; }
    // INVALID_SOCKET while a key exchange runs.
    SOCKET handle() const {
        return state_ == State::Exchanging ? INVALID_SOCKET : socket_.handle();
    }

    uint32_t nextEventMs(uint32_t nowMs) const {
        switch (state_) {
        case State::Exchanging:
            return std::min(nowMs + kKeyExchangePollMs, contactEndMs_);
        case State::Contacting:
            return std::min(addressEndMs_,
                            requestsToAddress_ < kNtpRequestsPerAddress ? nextSendMs_ : kNever);
        case State::Bursting:
            return samplesRequested_ < wanted_ ? nextSendMs_ : replyUntilMs_;
        case State::Finished:
            break;
        }
        return kNever;
    }

    void onTime(uint32_t nowMs, const TimeLine& line) {
        if (state_ == State::Exchanging) {
            if (!nts_->job->done())
                return;
            nts::KeyExchange& keys = nts_->job->result();
            if (!keys.ok) {
                fail(std::move(keys.failure));
                return;
            }
            nts_->association = nts::associationOf(keys, nts_->target.host);
            for (const uint16_t code : keys.response.warnings)
                nts_->warnings += "; its key exchange warned (code " + std::to_string(code) + ")";
            nts_->job.reset();
            resolveNtp(nowMs);
            return;
        }
        if (state_ == State::Contacting) {
            if (nowMs >= addressEndMs_)
                nextAddress(nowMs);
            if (state_ == State::Contacting && requestsToAddress_ < kNtpRequestsPerAddress &&
                nowMs >= nextSendMs_) {
                if (send(nowMs, line)) {
                    ++requestsToAddress_;
                    samplesRequested_ = 1;
                    nextSendMs_ = nowMs + gapMs_;
                    gapMs_ *= 2;
                }
            }
            return;
        }
        if (state_ != State::Bursting)
            return;
        if (samplesRequested_ < wanted_ && nowMs >= nextSendMs_) {
            if (!send(nowMs, line)) {
                finish(); // unreachable now: what it gave so far stands
                return;
            }
            ++samplesRequested_;
            nextSendMs_ = nowMs + spacingMs_;
            replyUntilMs_ = nowMs + laterReplyWaitMs(leastDelayUnits());
        } else if (samplesRequested_ >= wanted_ && nowMs >= replyUntilMs_) {
            finish();
        }
    }

    void onReadable(uint32_t nowMs, const TimeLine& line) {
        std::string datagram;
        const int received = socket_.receiveReady(datagram);
        const ntp::Timestamp receivedAt = line.now();
        if (received != net::kOk) {
            if (state_ == State::Contacting) {
                error_ = received;
                stage_ = QueryStage::Reaching;
                nextAddress(nowMs);
            } else {
                finish();
            }
            return;
        }
        if (nts_ && !authentic(datagram, nowMs))
            return;
        NtpJudgement judged = judgeNtpReply(server_, datagram, sent_, receivedAt);
        if (isIgnored(judged.finding))
            return;
        if (judged.finding != NtpFinding::Accepted) {
            const bool rate = judged.finding == NtpFinding::Kiss && judged.kissCode == "RATE";
            rateKiss_ = rateKiss_ || rate;
            if (rate && state_ == State::Bursting) {
                // Asked too often after all: the rest of the burst goes slower.
                spacingMs_ = std::min(spacingMs_ * 2, kMaxSampleSpacingMs);
                nextSendMs_ = lastSendMs_ + spacingMs_;
                return;
            }
            // A server that declares itself unfit is not used, whatever it said before.
            fail(std::move(judged.message));
            return;
        }
        if (nts_)
            judged.message += ", " ZYMDATE_NTS_TEXT;
        samples_.push_back(Sample{judged.offsetUnits, judged.delayUnits, judged.rootDistanceUnits,
                                  std::move(judged.message)});
        const auto packet = ntp::parse(datagram);
        const bool answersLast = packet && packet->originate == sent_.back().transmit;
        if (state_ == State::Contacting) {
            state_ = State::Bursting;
            nextSendMs_ = lastSendMs_ + spacingMs_;
        }
        if (static_cast<int>(samples_.size()) >= wanted_ || burstSettled(samples_) ||
            (samplesRequested_ >= wanted_ && answersLast))
            finish();
    }

    // The time is up: what it gave stands; one that gave nothing timed out.
    void endAtDeadline() {
        if (finished())
            return;
        if (state_ == State::Exchanging) {
            // Its budget ends with the query's: the reason it gives is the better one.
            nts_->job->wait();
            nts::KeyExchange& keys = nts_->job->result();
            fail(keys.ok ? server_ + ": the NTS key exchange took the whole time-out"
                         : std::move(keys.failure));
            return;
        }
        if (answered())
            finish();
        else
            fail(failureText(server_, stage_, error_));
    }

    ServerAnswer answer() const {
        ServerAnswer a;
        a.server = server_;
        a.rateKiss = rateKiss_;
        a.authenticated = nts_ != nullptr && !samples_.empty();
        a.samples = static_cast<int>(samples_.size());
        if (samples_.empty()) {
            a.message = refusal_;
            return a;
        }
        const Sample& best = samples_[leastDelaySample(samples_)];
        a.offsetUnits = best.offsetUnits;
        a.delayUnits = best.delayUnits;
        a.rootDistanceUnits = best.rootDistanceUnits;
        a.message = messages::leastDelayOf(best.summary, a.samples);
        if (nts_)
            a.message += nts_->warnings;
        return a;
    }

  private:
    enum class State { Exchanging, Contacting, Bursting, Finished };

    void beginKeyExchange(uint32_t nowMs) {
        nts_->exchanged = true;
        nts_->association.reset();
        nts_->job = std::make_unique<KeyExchangeJob>(
            server_, nts_->target, nts_->caFile,
            contactEndMs_ > nowMs ? contactEndMs_ - nowMs : 1);
        state_ = State::Exchanging;
    }

    void resolveNtp(uint32_t nowMs) {
        const nts::Association& a = *nts_->association;
        addresses_.clear();
        addressIndex_ = 0;
        if (const int resolved = net::resolve(a.ntpHost, a.ntpPort, SOCK_DGRAM, addresses_);
            resolved != net::kOk) {
            fail(failureText(server_, QueryStage::Reaching, resolved));
            return;
        }
        state_ = State::Contacting;
        openAddress(nowMs);
    }

    // Whether an NTS server's datagram answers one of its requests and verifies;
    // an NTS NAK starts a new key exchange (once a query) or ends the server's turn.
    bool authentic(const std::string& datagram, uint32_t nowMs) {
        const auto packet = ntp::parse(datagram);
        if (!packet || !nts_->association)
            return false;
        size_t i = 0;
        while (i < sent_.size() && sent_[i].transmit != packet->originate)
            ++i;
        if (i == sent_.size() || i >= nts_->sealed.size())
            return false;
        nts::OpenedReply opened = nts::openReply(datagram, nts_->sealed[i], *nts_->association);
        if (opened.verdict == nts::ReplyVerdict::Forged)
            return false;
        if (opened.verdict == nts::ReplyVerdict::Nak) {
            if (samples_.empty() && !nts_->exchanged) {
                socket_ = net::DatagramSocket();
                beginKeyExchange(nowMs);
            } else {
                nts_->association.reset();
                fail(server_ + " refused its NTS cookie (NTS NAK) again after a new key exchange");
            }
            return false;
        }
        for (auto& cookie : opened.cookies)
            if (nts_->association->cookies.size() < nts::kCookiesKept)
                nts_->association->cookies.push_back(std::move(cookie));
        return true;
    }

    void openAddress(uint32_t nowMs) {
        for (; addressIndex_ < addresses_.size(); ++addressIndex_) {
            if (nowMs >= contactEndMs_)
                break;
            if (const int opened = socket_.open(addresses_[addressIndex_]); opened != net::kOk) {
                error_ = opened;
                stage_ = QueryStage::Reaching;
                continue;
            }
            // Each address an equal share of what is left of the contact time.
            const auto left = static_cast<uint32_t>(addresses_.size() - addressIndex_);
            const uint32_t share = std::max<uint32_t>(1, (contactEndMs_ - nowMs) / left);
            addressEndMs_ = nowMs + share;
            gapMs_ = std::max<uint32_t>(1, std::min(kNtpFirstRepeatMs, share / 4));
            nextSendMs_ = nowMs;
            requestsToAddress_ = 0;
            sent_.clear();
            if (nts_)
                nts_->sealed.clear();
            error_ = net::kTimedOut;
            stage_ = QueryStage::AwaitingReply;
            return;
        }
        fail(failureText(server_, stage_, error_));
    }

    void nextAddress(uint32_t nowMs) {
        ++addressIndex_;
        openAddress(nowMs);
    }

    bool send(uint32_t nowMs, const TimeLine& line) {
        SentRequest request;
        request.transmit = requestCookie(line);
        std::string datagram;
        if (nts_) {
            auto sealed = nts_->association ? nts::sealRequest(request.transmit, *nts_->association)
                                            : std::nullopt;
            if (!sealed) {
                // Every cookie spent on requests whose replies were lost.
                if (samples_.empty() && !nts_->exchanged)
                    beginKeyExchange(nowMs);
                else if (samples_.empty())
                    fail(server_ + " used up its NTS cookies without an authenticated reply");
                else
                    finish();
                return false;
            }
            datagram = std::move(sealed->datagram);
            nts_->sealed.push_back(std::move(*sealed));
        } else {
            datagram = ntp::clientRequest(request.transmit);
        }
        request.sentAt = line.now();
        if (const int result = socket_.send(datagram); result != net::kOk) {
            if (state_ == State::Contacting) {
                error_ = result;
                stage_ = QueryStage::Reaching;
                nextAddress(nowMs);
            }
            return false;
        }
        sent_.push_back(request);
        lastSendMs_ = nowMs;
        return true;
    }

    int64_t leastDelayUnits() const {
        return samples_.empty() ? 0 : samples_[leastDelaySample(samples_)].delayUnits;
    }

    void finish() { state_ = State::Finished; }
    void fail(std::string message) {
        samples_.clear();
        refusal_ = std::move(message);
        state_ = State::Finished;
    }

    std::string server_;
    int wanted_;
    State state_ = State::Contacting;
    std::vector<net::Address> addresses_;
    size_t addressIndex_ = 0;
    net::DatagramSocket socket_;
    std::vector<SentRequest> sent_; // to the address in use
    std::vector<Sample> samples_;
    uint32_t contactEndMs_ = 0;
    uint32_t addressEndMs_ = 0;
    uint32_t nextSendMs_ = 0;
    uint32_t lastSendMs_ = 0;
    uint32_t gapMs_ = 1;
    uint32_t replyUntilMs_ = 0;
    uint32_t spacingMs_;
    int requestsToAddress_ = 0;
    int samplesRequested_ = 0;
    int error_ = net::kTimedOut; // why it gave nothing, if it does not
    QueryStage stage_ = QueryStage::Reaching;
    bool rateKiss_ = false;
    std::string refusal_;
    // An NTS server only. Destroyed first, so a key exchange under way is waited for
    // while the rest still stands.
    std::unique_ptr<NtsPart> nts_;
};

// Tells the caller what is under way when that changes.
class ProgressReport {
  public:
    explicit ProgressReport(const QueryProgress& progress) : progress_(progress) {}
    void operator()(std::string text) {
        if (!progress_ || text == last_)
            return;
        last_ = std::move(text);
        progress_(last_);
    }

  private:
    const QueryProgress& progress_;
    std::string last_;
};

std::vector<ServerAnswer> askNtpServers(const std::vector<std::string>& servers,
                                        const ServersRequest& request, const net::Deadline& overall,
                                        const TimeLine& line, ProgressReport& report) {
    std::vector<std::unique_ptr<NtpPeer>> peers;
    size_t nextServer = 0;
    const auto engaged = [&] {
        return static_cast<int>(std::count_if(peers.begin(), peers.end(), [](const auto& p) {
            return !p->finished() || p->answered();
        }));
    };
    for (;;) {
        // Keep as many servers engaged as were asked for, while the list lasts.
        while (nextServer < servers.size() && engaged() < request.serversToAsk &&
               overall.leftMs() > 0) {
            auto peer = std::make_unique<NtpPeer>(servers[nextServer], request.samplesPerServer,
                                                  request.sampleSpacingMs, request.ntsCaFile);
            ++nextServer;
            peer->start(request.port, overall.spentMs(),
                        contactShareMs(overall.leftMs(), servers.size() - nextServer));
            peers.push_back(std::move(peer));
        }
        const uint32_t now = overall.spentMs();
        for (auto& p : peers)
            if (!p->finished())
                p->onTime(now, line);

        std::vector<NtpPeer*> active;
        for (auto& p : peers)
            if (!p->finished())
                active.push_back(p.get());
        if (active.empty()) {
            if (nextServer < servers.size() && engaged() < request.serversToAsk &&
                overall.leftMs() > 0)
                continue; // failed ones to replace
            break;
        }
        if (overall.leftMs() == 0) {
            for (NtpPeer* p : active)
                p->endAtDeadline();
            break;
        }
        if (active.size() == 1)
            report(messages::asking(active.front()->server(), active.front()->samplesRequested(),
                                    request.samplesPerServer));
        else
            report(messages::askingSeveral(active.size()));

        const uint32_t spent = overall.spentMs();
        uint32_t wake = kNever;
        for (NtpPeer* p : active)
            wake = std::min(wake, p->nextEventMs(spent));
        const uint32_t waitMs =
            std::min(overall.leftMs(), wake > spent ? wake - spent : uint32_t{0});
        fd_set readable;
        FD_ZERO(&readable);
        for (NtpPeer* p : active)
            if (p->handle() != INVALID_SOCKET)
                FD_SET(p->handle(), &readable);
        if (readable.fd_count == 0) {
            ::Sleep(waitMs); // only key exchanges under way; select() needs a socket
            continue;
        }
        timeval limit{static_cast<long>(waitMs / 1000), static_cast<long>(waitMs % 1000) * 1000};
        const int ready = ::select(0, &readable, nullptr, nullptr, &limit);
        if (ready <= 0)
            continue; // a time-out; an error of select itself shows on the next read
        const uint32_t arrived = overall.spentMs();
        for (NtpPeer* p : active)
            if (p->handle() != INVALID_SOCKET && FD_ISSET(p->handle(), &readable))
                p->onReadable(arrived, line);
    }
    std::vector<ServerAnswer> answers;
    for (const auto& p : peers) {
        p->keepCookies();
        answers.push_back(p->answer());
    }
    return answers;
}

std::vector<ServerAnswer> askTcpServers(const std::vector<std::string>& servers,
                                        const ServersRequest& request, const net::Deadline& overall,
                                        const TimeLine& line, ProgressReport& report) {
    std::vector<ServerAnswer> answers;
    int answered = 0;
    for (size_t i = 0; i < servers.size() && answered < request.serversToAsk; ++i) {
        const uint32_t share = contactShareMs(overall.leftMs(), servers.size() - i - 1);
        if (share == 0)
            break;
        if (nts::keTarget(servers[i])) {
            // Named as NTS: asked over NTP, whatever port the plain servers use.
            const net::Deadline turn(share);
            ServersRequest one = request;
            one.serversToAsk = 1;
            std::vector<ServerAnswer> got =
                askNtpServers({servers[i]}, one, turn, line, report);
            answered += got.front().samples > 0 ? 1 : 0;
            answers.push_back(std::move(got.front()));
            continue;
        }
        report(messages::asking(servers[i], 1, 1));
        // The connect and every wait within the share, and the whole reply too.
        const uint32_t waitMs = std::max<uint32_t>(1, share / (1 + net::kExchangeBoundFactor));
        const QueryOutcome asked = askTcpServer(servers[i], request.port, waitMs);
        ServerAnswer a;
        a.server = servers[i];
        a.message = asked.message;
        if (asked.ok) {
            a.samples = 1;
            a.offsetUnits = tw::systemTimeToUnits(asked.serverTime) - line.nowUnits();
            a.delayUnits = 2 * static_cast<int64_t>(asked.delay * tw::kUnitsPerMillisecond);
            a.rootDistanceUnits = kWholeSecondReplyUnits;
            ++answered;
        }
        answers.push_back(std::move(a));
    }
    return answers;
}

} // namespace

std::vector<std::string> serverLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        lines.emplace_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            break;
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

std::vector<std::string> distinctServers(const std::vector<std::string>& names) {
    std::vector<std::string> servers, keys;
    for (const std::string& name : names) {
        std::string server = tw::cleanServerName(name);
        if (server.empty())
            continue;
        std::string key = tw::serverIdentity(server);
        if (std::find(keys.begin(), keys.end(), key) != keys.end())
            continue;
        keys.push_back(std::move(key));
        servers.push_back(std::move(server));
    }
    return servers;
}

ServersOutcome askTimeServers(const ServersRequest& given, const QueryProgress& progress) {
    HighPriorityScope priority;
    ServersRequest request = given;
    request.serversToAsk = std::clamp(request.serversToAsk, 1, kMaxServersToAsk);
    request.samplesPerServer = request.port == ntp::kPort
                                   ? std::clamp(request.samplesPerServer, 1, kMaxSamplesPerServer)
                                   : 1;
    const std::vector<std::string> servers = distinctServers(request.servers);
    if (servers.empty()) {
        ServersOutcome out;
        out.message = messages::noServerGiven();
        return out;
    }
    const net::Deadline overall(request.budgetMs != 0 ? request.budgetMs : kNtpDefaultBudgetMs);
    // The library's one exchange at a time covers the whole call.
    net::Session session;
    if (const int begun = session.beginShared(); begun != net::kOk) {
        ServersOutcome out;
        out.message = failureText(servers.front(), QueryStage::Reaching, begun);
        return out;
    }
    const TimeLine line;
    ProgressReport report(progress);
    std::vector<ServerAnswer> answers =
        request.port == ntp::kPort ? askNtpServers(servers, request, overall, line, report)
                                   : askTcpServers(servers, request, overall, line, report);
    return combineAnswers(std::move(answers), line.nowUnits());
}

} // namespace zymdate
