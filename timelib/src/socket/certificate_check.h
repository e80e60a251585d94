// A TLS server's certificate judged as Windows judges one: the chain built with
// the certificate store of the PC (so an organisation's own roots and the trust
// Group Policy gives apply) and checked with the SSL policy for the server's name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zymdate::net {

// chain: the certificates the server sent, DER, its own first. Empty when Windows
// trusts it for host; otherwise why not, in words for the user ("the server's
// certificate is for another name").
std::string windowsCertificateProblem(const std::vector<std::vector<uint8_t>>& chain,
                                      std::string_view host);

} // namespace zymdate::net
