// Asking the Tickwell Time service over its pipe: one request, one reply. Used
// by the program, by "tickwellsvc status" and by the tests.
#pragma once

#include "service_protocol.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tickwell::service {

struct ClientAnswer {
    std::optional<Reply> reply; // the service's reply, when one came
    std::string error;          // otherwise why not ("The Tickwell Time service is not running")
    bool serviceAbsent = false; // no pipe at all: nothing serves it on this PC
};

// Sends request and waits up to waitMs for the reply.
ClientAnswer askService(const Request& request, uint32_t waitMs);

// Sends bytes as they are (tests: requests the client would never form) and
// returns the raw reply, empty when none came.
std::string askServiceRaw(const std::string& bytes, uint32_t waitMs);

// The access a client asks for on the pipe: read and write its data and set
// message mode, nothing more (in particular not the right to create an
// instance of the pipe, which would let it pose as the service).
inline constexpr unsigned long kClientPipeAccess = 0x0012019B;

} // namespace tickwell::service
