// Asking a time server over UDP as a simple NTP client (RFC 4330): a request,
// repeated a few times for datagrams lost on the way, every datagram that
// comes back judged (ntp_judgement.h), and the server time taken as the PC
// clock plus the offset the first true reply measures.
#pragma once

#include "query/time_query.h"
#include "socket/resolver.h"

#include <cstdint>
#include <span>
#include <string>

namespace zymdate {

// How long a query to port 123 may last when the caller sets no time-out: a
// datagram lost for good would otherwise hold the caller for ever.
inline constexpr uint32_t kNtpDefaultBudgetMs = 30'000;
// Requests to one address: the first and repeats for lost datagrams. Few, so
// that a public server never sees a burst from us.
inline constexpr int kNtpRequestsPerAddress = 3;
// The first repeat follows this long after the first request (or a quarter of
// the address's time, when that is less); each later gap is twice the one before.
inline constexpr uint32_t kNtpFirstRepeatMs = 1'000;

// server is the cleaned name. budgetMs bounds the whole call (0:
// kNtpDefaultBudgetMs); a name with several addresses gives each an equal share
// of what is left when its turn comes.
QueryOutcome askNtpServer(const std::string& server, int port, uint32_t budgetMs);
// The same for addresses already resolved, asked in their order.
QueryOutcome askNtpServer(const std::string& server, std::span<const net::Address> addresses,
                          uint32_t budgetMs);

} // namespace zymdate
