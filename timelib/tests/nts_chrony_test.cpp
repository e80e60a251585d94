// Authenticated time from a real NTS server no one here wrote: chrony, started on
// loopback by nts-chrony-test, which names its key-exchange ports and the test CA
// in the environment (the tests skip without them). The certificate checked by a
// CA file and by the Windows store, forged replies, cookies renewed and refused,
// and a key-exchange port that is closed or silent.
#include <gtest/gtest.h>

#include "query/nts_client.h"
#include "query/servers_query.h"
#include "scripted_server.h"
#include "tw/filetime.h"
#include "zymdate_texts.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace zymdate {
namespace {

using namespace tw::testserver;

constexpr int64_t kMs = tw::kUnitsPerMillisecond;

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string server(const char* portVariable) {
    return "nts://localhost:" + env(portVariable);
}

ServersOutcome ask(const std::string& name, const std::string& caFile, uint32_t budgetMs = 10'000,
                   int samples = 1) {
    ServersRequest request;
    request.servers = {name};
    request.port = 123;
    request.budgetMs = budgetMs;
    request.samplesPerServer = samples;
    request.sampleSpacingMs = 50; // our own server: no courtesy spacing needed
    request.ntsCaFile = caFile;
    return askTimeServers(request, {});
}

// The test CA in the user's root store (the registry's, which can also take it
// out again) for as long as this lives.
class TrustedRoot {
  public:
    explicit TrustedRoot(const std::string& derFile) {
        std::ifstream in(derFile, std::ios::binary);
        der_.assign(std::istreambuf_iterator<char>(in), {});
        store_ = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0,
                                 CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
        added_ = store_ != nullptr && !der_.empty() &&
                 ::CertAddEncodedCertificateToStore(
                     store_, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der_.data()),
                     static_cast<DWORD>(der_.size()), CERT_STORE_ADD_REPLACE_EXISTING, &added) &&
                 ::CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    }
    ~TrustedRoot() {
        if (added != nullptr)
            ::CertDeleteCertificateFromStore(added); // frees it too
        if (store_ != nullptr)
            ::CertCloseStore(store_, 0);
    }
    bool ok() const { return added_; }

  private:
    std::string der_;
    HCERTSTORE store_ = nullptr;
    PCCERT_CONTEXT added = nullptr;
    bool added_ = false;
};

class ChronyNts : public ::testing::Test {
  protected:
    void SetUp() override {
        if (env("TW_NTS_RIGHT").empty())
            GTEST_SKIP() << "no NTS server: run through nts-chrony-test";
        nts::forgetAssociations();
        ca_ = env("TW_NTS_CA");
    }
    std::string ca_;
};

TEST_F(ChronyNts, AuthenticatedTimeWithinMillisecondsOfThePcClock) {
    const ServersOutcome out = ask(server("TW_NTS_RIGHT"), ca_, 10'000, 4);
    ASSERT_TRUE(out.ok) << out.message;
    EXPECT_TRUE(out.authenticated);
    ASSERT_EQ(out.answers.size(), 1u);
    EXPECT_TRUE(out.answers[0].authenticated);
    EXPECT_GE(out.answers[0].samples, 1);
    EXPECT_NE(out.message.find(ZYMDATE_NTS_TEXT), std::string::npos) << out.message;
    // chronyd serves this machine's own clock, which Wine's is.
    EXPECT_LT(std::llabs(out.offsetUnits), 5 * kMs) << out.message;
}

TEST_F(ChronyNts, CookiesAreRenewedByTheRepliesAndANakBringsANewKeyExchange) {
    const std::string name = server("TW_NTS_RIGHT");
    const std::string key = nts::associationKey(name, ca_);
    ASSERT_TRUE(ask(name, ca_).ok);
    auto first = nts::takeAssociation(key);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->cookies.size(), nts::kCookiesKept);
    const auto firstKey = first->clientToServer;
    nts::keepAssociation(key, std::move(*first));

    // More checks than a key exchange gives cookies: each reply brings a new one.
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(ask(name, ca_).ok) << "check " << i;
    auto later = nts::takeAssociation(key);
    ASSERT_TRUE(later);
    EXPECT_EQ(later->cookies.size(), nts::kCookiesKept);
    EXPECT_EQ(later->clientToServer, firstKey) << "no second key exchange was needed";

    // Cookies the server cannot read: it answers with a NAK, and the client runs
    // the key exchange again within the same check.
    for (auto& cookie : later->cookies)
        cookie.assign(cookie.size(), 0x5A);
    nts::keepAssociation(key, std::move(*later));
    const ServersOutcome renewed = ask(name, ca_);
    ASSERT_TRUE(renewed.ok) << renewed.message;
    auto fresh = nts::takeAssociation(key);
    ASSERT_TRUE(fresh);
    EXPECT_NE(fresh->clientToServer, firstKey);
}

TEST_F(ChronyNts, RepliesForgedOnTheWayAreIgnored) {
    // Before each genuine reply the relay sends two that say an hour later.
    const ServersOutcome out = ask(server("TW_NTS_RELAY"), ca_, 10'000, 3);
    ASSERT_TRUE(out.ok) << out.message;
    EXPECT_TRUE(out.authenticated);
    EXPECT_LT(std::llabs(out.offsetUnits), 5 * kMs) << out.message;
}

TEST_F(ChronyNts, CertificatesAreCheckedByTheCaFileAndByTheWindowsStore) {
    const char* otherName = "the server's certificate is for another name";
    const struct {
        const char* name;
        const char* port;
        bool ok;
        const char* failure; // part of the message
    } withCaFile[] = {
        {"the right one", "TW_NTS_RIGHT", true, ""},
        {"another name", "TW_NTS_WRONG_NAME", false, otherName},
        {"another CA", "TW_NTS_OTHER_CA", false, "not from an authority the CA file names"},
        {"another CA, with it", "TW_NTS_OTHER_CHAIN", false,
         "not from an authority the CA file names"},
    };
    for (const auto& row : withCaFile) {
        SCOPED_TRACE(std::string("CA file: ") + row.name);
        const ServersOutcome out = ask(server(row.port), ca_, 5'000);
        EXPECT_EQ(out.ok, row.ok) << out.message;
        EXPECT_NE(out.message.find(row.failure), std::string::npos) << out.message;
    }

    const char* untrusted = "not from an authority this PC trusts";
    const ServersOutcome before = ask(server("TW_NTS_RIGHT"), "", 5'000);
    EXPECT_FALSE(before.ok);
    EXPECT_NE(before.message.find(untrusted), std::string::npos) << before.message;

    const TrustedRoot root(env("TW_NTS_CA_DER"));
    ASSERT_TRUE(root.ok());
    const struct {
        const char* name;
        const char* port;
        bool ok;
        const char* failure;
    } withStore[] = {
        {"the right one", "TW_NTS_RIGHT", true, ""},
        {"another name", "TW_NTS_WRONG_NAME", false, otherName},
        {"another CA", "TW_NTS_OTHER_CA", false, untrusted},
        {"another CA, with it", "TW_NTS_OTHER_CHAIN", false, untrusted},
    };
    for (const auto& row : withStore) {
        SCOPED_TRACE(std::string("Windows store: ") + row.name);
        const ServersOutcome out = ask(server(row.port), "", 5'000);
        EXPECT_EQ(out.ok, row.ok) << out.message;
        EXPECT_NE(out.message.find(row.failure), std::string::npos) << out.message;
    }
}

TEST_F(ChronyNts, AKeyExchangePortClosedOrSilentGivesNoTime) {
    const std::string closed = "nts://127.0.0.1:" + std::to_string(refusedPort());
    const ServersOutcome refused = ask(closed, ca_, 3'000);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.message.find("Could not establish connection to " + closed),
              std::string::npos)
        << refused.message;

    // Accepts, then says nothing: the handshake never ends, the time-out does.
    ScriptedServer silent({hold()});
    ASSERT_TRUE(silent.listening());
    const ServersOutcome held =
        ask("nts://127.0.0.1:" + std::to_string(silent.port()), ca_, 2'000);
    EXPECT_FALSE(held.ok);
    EXPECT_NE(held.message.find("did not complete the TLS handshake in time"), std::string::npos)
        << held.message;
}

} // namespace
} // namespace zymdate
