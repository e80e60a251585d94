// The socket layer's small error numbers (tw/query_errors.h), which the query's
// texts show and zym's GETLASTERRORDESCRIPTION describes, and the one place a
// Winsock error becomes one of them.
#pragma once

#include "tw/query_errors.h"

namespace zymdate::net {

// The error numbers of the socket layer: the query's, shared with zym.
using Error = tw::query::Error;
using enum tw::query::Error;

// The layer's number for a Winsock error (WSAGetLastError, SO_ERROR).
int fromWinsock(int wsaError);

} // namespace zymdate::net
