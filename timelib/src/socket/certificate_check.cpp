#include "socket/certificate_check.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstddef>
#include <memory>

namespace zymdate::net {

namespace {

struct StoreClose {
    void operator()(void* store) const { ::CertCloseStore(static_cast<HCERTSTORE>(store), 0); }
};
struct CertificateFree {
    void operator()(const CERT_CONTEXT* c) const { ::CertFreeCertificateContext(c); }
};
struct ChainFree {
    void operator()(const CERT_CHAIN_CONTEXT* c) const { ::CertFreeCertificateChain(c); }
};
struct EngineFree {
    void operator()(void* engine) const {
        ::CertFreeCertificateChainEngine(static_cast<HCERTCHAINENGINE>(engine));
    }
};

// An engine of its own for each check: the default one reads the root store once
// per process, and a root an administrator adds (or Group Policy brings) while the
// service runs must count at the next key exchange. The configuration as every
// Windows version knows it; nullptr (the default engine) if none can be made.
std::unique_ptr<void, EngineFree> freshEngine() {
    CERT_CHAIN_ENGINE_CONFIG config{};
    config.cbSize = offsetof(CERT_CHAIN_ENGINE_CONFIG, CycleDetectionModulus) + sizeof(DWORD);
    HCERTCHAINENGINE engine = nullptr;
    if (!::CertCreateCertificateChainEngine(&config, &engine))
        engine = nullptr;
    return std::unique_ptr<void, EngineFree>(engine);
}

std::wstring wide(std::string_view text) {
    if (text.empty())
        return {};
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(),
                                             static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                              length);
    return out;
}

std::string hexCode(DWORD code) {
    char text[16];
    wsprintfA(text, "0x%08lX", static_cast<unsigned long>(code));
    return text;
}

std::string policyText(DWORD error) {
    switch (error) {
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
        return "the server's certificate is for another name";
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
    case static_cast<DWORD>(CERT_E_UNTRUSTEDTESTROOT):
    case static_cast<DWORD>(CERT_E_CHAINING):
    case static_cast<DWORD>(TRUST_E_CERT_SIGNATURE):
        return "the server's certificate is not from an authority this PC trusts";
    case static_cast<DWORD>(CERT_E_EXPIRED):
        return "the server's certificate has expired or is not yet valid by this PC's clock";
    case static_cast<DWORD>(CERT_E_WRONG_USAGE):
        return "the server's certificate is not one for a server";
    case static_cast<DWORD>(CRYPT_E_REVOKED):
        return "the server's certificate has been revoked";
    default:
        return "the server's certificate was refused (" + hexCode(error) + ")";
    }
}

std::string chainText(DWORD status) {
    if (status & CERT_TRUST_IS_NOT_TIME_VALID)
        return policyText(static_cast<DWORD>(CERT_E_EXPIRED));
    if (status & CERT_TRUST_IS_REVOKED)
        return policyText(static_cast<DWORD>(CRYPT_E_REVOKED));
    if (status & CERT_TRUST_IS_NOT_VALID_FOR_USAGE)
        return policyText(static_cast<DWORD>(CERT_E_WRONG_USAGE));
    if (status & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN |
                  CERT_TRUST_IS_NOT_SIGNATURE_VALID | CERT_TRUST_IS_CYCLIC))
        return policyText(static_cast<DWORD>(CERT_E_UNTRUSTEDROOT));
    return "the server's certificate was refused (chain status " + hexCode(status) + ")";
}

} // namespace

std::string windowsCertificateProblem(const std::vector<std::vector<uint8_t>>& chain,
                                      std::string_view host) {
    if (chain.empty())
        return "the server sent no certificate";
    std::unique_ptr<void, StoreClose> sent(
        ::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
    if (!sent)
        return "the server's certificate could not be checked (" + hexCode(::GetLastError()) + ")";
    PCCERT_CONTEXT leafContext = nullptr;
    for (size_t i = 0; i < chain.size(); ++i) {
        const std::vector<uint8_t>& der = chain[i];
        if (!::CertAddEncodedCertificateToStore(sent.get(), X509_ASN_ENCODING, der.data(),
                                                static_cast<DWORD>(der.size()),
                                                CERT_STORE_ADD_ALWAYS,
                                                i == 0 ? &leafContext : nullptr))
            return "the server sent a certificate that could not be read";
    }
    std::unique_ptr<const CERT_CONTEXT, CertificateFree> leaf(leafContext);

    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof(para);
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    const auto engine = freshEngine();
    PCCERT_CHAIN_CONTEXT chainContext = nullptr;
    if (!::CertGetCertificateChain(static_cast<HCERTCHAINENGINE>(engine.get()), leaf.get(), nullptr, sent.get(), &para, 0, nullptr,
                                   &chainContext))
        return "the server's certificate could not be checked (" + hexCode(::GetLastError()) + ")";
    std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree> built(chainContext);
    // The chain's own status first: Wine's SSL policy passes a chain whose issuer
    // was never found.
    if (const DWORD chainError = built->TrustStatus.dwErrorStatus; chainError != 0)
        return chainText(chainError);

    std::wstring name = wide(host);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA extra{};
    extra.cbSize = sizeof(extra);
    extra.dwAuthType = AUTHTYPE_SERVER;
    extra.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof(policy);
    policy.pvExtraPolicyPara = &extra;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof(status);
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, built.get(), &policy, &status))
        return "the server's certificate could not be checked (" + hexCode(::GetLastError()) + ")";
    return status.dwError == 0 ? std::string() : policyText(status.dwError);
}

} // namespace zymdate::net
