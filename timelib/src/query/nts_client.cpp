#include "query/nts_client.h"

#include "query/nts_aead.h"
#include "query/nts_wire.h"
#include "tw/server_name.h"

#include <openssl/rand.h>

#include <map>
#include <mutex>

namespace zymdate::nts {

namespace {

constexpr size_t kNonceBytes = 16;

std::mutex& storeLock() {
    static std::mutex lock;
    return lock;
}

std::map<std::string, Association>& store() {
    static std::map<std::string, Association> associations;
    return associations;
}

std::string& caFileInUse() {
    static std::string file;
    return file;
}

std::span<const uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

} // namespace

Association associationOf(KeyExchange& keys, const std::string& keHost) {
    Association a;
    a.clientToServer = keys.clientToServer;
    a.serverToClient = keys.serverToClient;
    for (auto& cookie : keys.response.cookies)
        a.cookies.push_back(std::move(cookie));
    a.ntpHost = keys.response.ntpServer.empty() ? keHost : keys.response.ntpServer;
    a.ntpPort = keys.response.ntpPort != 0 ? keys.response.ntpPort : ntp::kPort;
    return a;
}

std::string associationKey(std::string_view server, std::string_view caFile) {
    return tw::serverIdentity(server) + '\n' + std::string(caFile);
}

std::optional<Association> takeAssociation(const std::string& key) {
    const std::lock_guard guard(storeLock());
    const auto found = store().find(key);
    if (found == store().end())
        return std::nullopt;
    Association taken = std::move(found->second);
    store().erase(found);
    if (taken.cookies.empty())
        return std::nullopt;
    return taken;
}

void keepAssociation(const std::string& key, Association association) {
    const std::lock_guard guard(storeLock());
    if (association.cookies.empty())
        store().erase(key);
    else
        store()[key] = std::move(association);
}

std::string caFile() {
    const std::lock_guard guard(storeLock());
    return caFileInUse();
}

void setCaFile(std::string file) {
    const std::lock_guard guard(storeLock());
    caFileInUse() = std::move(file);
}

void forgetAssociations() {
    const std::lock_guard guard(storeLock());
    store().clear();
}

std::optional<SealedRequest> sealRequest(ntp::Timestamp transmit, Association& association) {
    if (association.cookies.empty())
        return std::nullopt;
    SealedRequest out;
    std::array<uint8_t, kNonceBytes> nonce{};
    if (RAND_bytes(out.uniqueId.data(), static_cast<int>(out.uniqueId.size())) != 1 ||
        RAND_bytes(nonce.data(), static_cast<int>(nonce.size())) != 1)
        return std::nullopt;
    const std::vector<uint8_t> cookie = association.cookies.front();
    // The reply brings one cookie for this one and one for each placeholder.
    const size_t held = association.cookies.size() - 1;
    const size_t placeholders = held + 1 < kCookiesKept ? kCookiesKept - held - 1 : 0;

    const std::string header = ntp::clientRequest(transmit);
    std::vector<uint8_t> packet(header.begin(), header.end());
    wire::append(packet, requestFields(out.uniqueId, cookie, placeholders));
    const ByteView components[] = {ByteView(packet), ByteView(nonce)};
    const auto sealed = sivSeal(association.clientToServer, components, ByteView());
    if (!sealed)
        return std::nullopt;
    wire::append(packet, authenticatorField(nonce, *sealed));
    out.datagram.assign(packet.begin(), packet.end());
    association.cookies.pop_front();
    return out;
}

OpenedReply openReply(std::string_view datagram, const SealedRequest& request,
                      const Association& association) {
    OpenedReply out;
    const ReplyCheck checked = checkReply(bytesOf(datagram), request.uniqueId);
    if (checked.problem == ReplyProblem::NoAuthenticator) {
        const auto packet = ntp::parse(datagram);
        if (packet && packet->stratum == ntp::kStratumKiss &&
            ntp::referenceText(packet->stratum, packet->referenceId) == ntp::kKissNtsNak)
            out.verdict = ReplyVerdict::Nak;
        return out;
    }
    if (checked.problem != ReplyProblem::None)
        return out;
    const ByteView components[] = {checked.associatedData, checked.nonce};
    const auto plaintext = sivOpen(association.serverToClient, components, checked.ciphertext);
    if (!plaintext)
        return out;
    const auto cookies = cookiesIn(*plaintext);
    if (!cookies)
        return out;
    out.verdict = ReplyVerdict::Authentic;
    for (const auto& cookie : *cookies)
        if (!cookie.empty() && cookie.size() <= kMaxCookieBytes)
            out.cookies.push_back(cookie);
    return out;
}

} // namespace zymdate::nts
