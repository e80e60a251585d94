#include "query/nts_ke.h"

#include "query/query_failure.h"
#include "socket/certificate_check.h"
#include "socket/deadline.h"
#include "socket/resolver.h"
#include "socket/socket_errors.h"
#include "socket/tcp_connection.h"
#include "tw/handles.h"
#include "tw/server_name.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <openssl/pem.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace zymdate::nts {

namespace {

struct ContextFree {
    void operator()(SSL_CTX* c) const { SSL_CTX_free(c); }
};
struct SslFree {
    void operator()(SSL* s) const { SSL_free(s); }
};

bool isAddressLiteral(const std::string& host) {
    in6_addr v6{};
    in_addr v4{};
    return ::inet_pton(AF_INET6, host.c_str(), &v6) == 1 ||
           ::inet_pton(AF_INET, host.c_str(), &v4) == 1;
}

// OpenSSL's reason for the last failure, if it gave one.
std::string tlsReason() {
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    return reason != nullptr ? reason : "";
}

std::string verifyText(long result) {
    switch (result) {
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return "the server's certificate is for another name";
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return "the server's certificate has expired or is not yet valid by this PC's clock";
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
        return "the server's certificate is not from an authority the CA file names";
    default:
        return std::string("the server's certificate was refused (") +
               X509_verify_cert_error_string(result) + ")";
    }
}

// A TLS connection on a non-blocking socket, each step waiting with select()
// within the exchange's deadline.
class TlsExchange {
  public:
    TlsExchange(SOCKET socket, const net::Deadline& deadline)
        : socket_(socket), deadline_(deadline) {}

    // Runs step (an SSL call) until it completes. kOk, kTimedOut, or kBadConnection
    // with the SSL error in lastError.
    template <typename Step> int run(SSL* ssl, Step step, int& done) {
        for (;;) {
            ERR_clear_error();
            done = step();
            if (done > 0)
                return net::kOk;
            lastError = SSL_get_error(ssl, done);
            bool wantWrite = false;
            if (lastError == SSL_ERROR_WANT_WRITE)
                wantWrite = true;
            else if (lastError != SSL_ERROR_WANT_READ)
                return net::kBadConnection;
            if (deadline_.leftMs() == 0)
                return net::kTimedOut;
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(socket_, &ready);
            timeval storage{};
            const int n = ::select(0, wantWrite ? nullptr : &ready, wantWrite ? &ready : nullptr,
                                   nullptr, net::selectLimit(deadline_, 0, storage));
            if (n == 0)
                return net::kTimedOut;
            if (n == SOCKET_ERROR)
                return net::fromWinsock(::WSAGetLastError());
        }
    }

    int lastError = SSL_ERROR_NONE;

  private:
    SOCKET socket_;
    const net::Deadline& deadline_;
};

std::string named(std::string_view server, const std::string& why) {
    return std::string(server) + ": the NTS key exchange failed: " + why;
}

struct BioFree {
    void operator()(BIO* b) const { BIO_free(b); }
};
struct X509Free {
    void operator()(X509* c) const { X509_free(c); }
};

// Every certificate of a PEM file into store (when given). The file is read here,
// its name in the ANSI code page as every other path of the library, not by
// OpenSSL, which may take a name for UTF-8.
size_t loadAuthorities(const std::string& file, X509_STORE* store) {
    std::ifstream in(file, std::ios::binary);
    const std::string pem((std::istreambuf_iterator<char>(in)), {});
    if (!in.good() && !in.eof())
        return 0;
    std::unique_ptr<BIO, BioFree> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    size_t count = 0;
    while (bio) {
        std::unique_ptr<X509, X509Free> cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
        if (!cert)
            break;
        if (store == nullptr || X509_STORE_add_cert(store, cert.get()) == 1)
            ++count;
    }
    ERR_clear_error(); // the end of the file reads as an error
    return count;
}

std::vector<std::vector<uint8_t>> peerChain(SSL* ssl) {
    std::vector<std::vector<uint8_t>> chain;
    STACK_OF(X509)* sent = SSL_get_peer_cert_chain(ssl); // the server's own first
    for (int i = 0; sent != nullptr && i < sk_X509_num(sent); ++i) {
        X509* cert = sk_X509_value(sent, i);
        const int length = i2d_X509(cert, nullptr);
        if (length <= 0)
            continue;
        std::vector<uint8_t> der(static_cast<size_t>(length));
        unsigned char* out = der.data();
        i2d_X509(cert, &out);
        chain.push_back(std::move(der));
    }
    return chain;
}

} // namespace

std::optional<KeTarget> keTarget(std::string_view server) {
    server = tw::trimmed(server, tw::kSpace);
    if (!tw::isNtsServerName(server))
        return std::nullopt;
    std::string_view rest = server.substr(tw::kNtsScheme.size());
    if (!rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);
    KeTarget target;
    bool hasPort = false;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        const size_t close = rest.find(']');
        if (close == std::string_view::npos)
            return KeTarget{};
        target.host = std::string(rest.substr(1, close - 1));
        const std::string_view after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':')
                return KeTarget{};
            hasPort = true;
            port = after.substr(1);
        }
    } else if (const size_t colon = rest.find(':');
               colon != std::string_view::npos && rest.find(':', colon + 1) == std::string_view::npos) {
        target.host = std::string(rest.substr(0, colon));
        hasPort = true;
        port = rest.substr(colon + 1);
    } else {
        target.host = std::string(rest); // a name, or an IPv6 address without brackets
    }
    if (target.host.find_first_of("/?#@[]") != std::string::npos)
        return KeTarget{};
    if (!hasPort)
        return target;
    int value = 0;
    for (char c : port) {
        if (c < '0' || c > '9' || value > 65535)
            return KeTarget{};
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535)
        return KeTarget{};
    target.port = value;
    return target;
}

bool caFileUsable(const std::string& file) {
    return loadAuthorities(file, nullptr) > 0;
}

KeyExchange exchangeKeys(std::string_view server, const KeTarget& target,
                         const std::string& caFile, uint32_t budgetMs) {
    KeyExchange out;
    const net::Deadline deadline(std::max<uint32_t>(1, budgetMs));
    std::vector<net::Address> addresses;
    if (const int resolved = net::resolve(target.host, target.port, SOCK_STREAM, addresses);
        resolved != net::kOk) {
        out.failure = failureText(server, QueryStage::Reaching, resolved);
        return out;
    }
    tw::unique_socket socket;
    if (const int connected = net::connectStream(addresses, deadline.leftMs(), socket);
        connected != net::kOk) {
        out.failure = failureText(server, QueryStage::Reaching, connected);
        return out;
    }
    u_long nonBlocking = 1;
    ::ioctlsocket(socket.get(), FIONBIO, &nonBlocking);

    std::unique_ptr<SSL_CTX, ContextFree> context(SSL_CTX_new(TLS_client_method()));
    if (!context) {
        out.failure = named(server, "TLS is not available (" + tlsReason() + ")");
        return out;
    }
    SSL_CTX_set_min_proto_version(context.get(), TLS1_3_VERSION);
    unsigned char alpn[1 + kAlpn.size()];
    alpn[0] = static_cast<unsigned char>(kAlpn.size());
    std::copy(kAlpn.begin(), kAlpn.end(), alpn + 1);
    SSL_CTX_set_alpn_protos(context.get(), alpn, sizeof(alpn));
    const bool ownAuthorities = !caFile.empty();
    if (ownAuthorities) {
        if (loadAuthorities(caFile, SSL_CTX_get_cert_store(context.get())) == 0) {
            out.failure = named(server, "the CA file " + caFile + " holds no certificate it could read");
            return out;
        }
        SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    } else {
        // Windows judges the certificate once the handshake has brought it, before
        // anything is sent.
        SSL_CTX_set_verify(context.get(), SSL_VERIFY_NONE, nullptr);
    }
    std::unique_ptr<SSL, SslFree> ssl(SSL_new(context.get()));
    if (!ssl || SSL_set_fd(ssl.get(), static_cast<int>(socket.get())) != 1) {
        out.failure = named(server, "TLS is not available (" + tlsReason() + ")");
        return out;
    }
    const bool literal = isAddressLiteral(target.host);
    if (!literal)
        SSL_set_tlsext_host_name(ssl.get(), target.host.c_str());
    if (ownAuthorities) {
        X509_VERIFY_PARAM* param = SSL_get0_param(ssl.get());
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        if (literal)
            X509_VERIFY_PARAM_set1_ip_asc(param, target.host.c_str());
        else
            X509_VERIFY_PARAM_set1_host(param, target.host.c_str(), 0);
    }

    TlsExchange tls(socket.get(), deadline);
    int done = 0;
    if (const int shaken = tls.run(ssl.get(), [&] { return SSL_connect(ssl.get()); }, done);
        shaken != net::kOk) {
        if (shaken == net::kTimedOut) {
            out.failure = named(server, "the server did not complete the TLS handshake in time");
            return out;
        }
        const long verified = SSL_get_verify_result(ssl.get());
        if (ownAuthorities && verified != X509_V_OK) {
            out.failure = named(server, verifyText(verified));
            return out;
        }
        const std::string reason = tlsReason();
        out.failure = named(server, "the TLS 1.3 handshake failed" +
                                        (reason.empty() ? std::string() : " (" + reason + ")"));
        return out;
    }
    const unsigned char* chosen = nullptr;
    unsigned int chosenLength = 0;
    SSL_get0_alpn_selected(ssl.get(), &chosen, &chosenLength);
    if (chosen == nullptr ||
        std::string_view(reinterpret_cast<const char*>(chosen), chosenLength) != kAlpn) {
        out.failure = named(server, "the server does not speak NTS key exchange (ntske/1)");
        return out;
    }
    if (!ownAuthorities) {
        if (const std::string problem = net::windowsCertificateProblem(peerChain(ssl.get()),
                                                                       target.host);
            !problem.empty()) {
            out.failure = named(server, problem);
            return out;
        }
    }

    const std::vector<uint8_t> request = keRequest();
    if (tls.run(ssl.get(),
                [&] {
                    return SSL_write(ssl.get(), request.data(), static_cast<int>(request.size()));
                },
                done) != net::kOk) {
        out.failure = named(server, "the request could not be sent");
        return out;
    }

    std::vector<uint8_t> received;
    KeParse parsed;
    for (;;) {
        uint8_t chunk[4096];
        const int read = tls.run(
            ssl.get(), [&] { return SSL_read(ssl.get(), chunk, sizeof(chunk)); }, done);
        const bool ended = read != net::kOk && (tls.lastError == SSL_ERROR_ZERO_RETURN ||
                                                tls.lastError == SSL_ERROR_SYSCALL);
        if (read == net::kTimedOut) {
            out.failure = named(server, "the server did not send its whole response in time");
            return out;
        }
        if (read != net::kOk && !ended) {
            out.failure = named(server, "the connection failed while reading the response");
            return out;
        }
        if (read == net::kOk)
            received.insert(received.end(), chunk, chunk + done);
        parsed = parseKeResponse(received, ended);
        if (parsed.state != KeParse::State::NeedMore)
            break;
    }
    if (parsed.state == KeParse::State::Failed) {
        out.failure = named(server, parsed.failure);
        return out;
    }
    static constexpr bool kServerToClient = true;
    const auto c2s = exporterContext(!kServerToClient);
    const auto s2c = exporterContext(kServerToClient);
    if (SSL_export_keying_material(ssl.get(), out.clientToServer.data(), kKeyBytes,
                                   kExporterLabel.data(), kExporterLabel.size(), c2s.data(),
                                   c2s.size(), 1) != 1 ||
        SSL_export_keying_material(ssl.get(), out.serverToClient.data(), kKeyBytes,
                                   kExporterLabel.data(), kExporterLabel.size(), s2c.data(),
                                   s2c.size(), 1) != 1) {
        out.failure = named(server, "the keys could not be derived (" + tlsReason() + ")");
        return out;
    }
    SSL_shutdown(ssl.get()); // a courtesy; the keys are already ours
    out.response = std::move(parsed.response);
    out.ok = true;
    return out;
}

} // namespace zymdate::nts
