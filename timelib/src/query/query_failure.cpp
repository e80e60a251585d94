#include "query/query_failure.h"

#include "query/query_messages.h"
#include "shared/zym_calls.h"
#include "socket/socket_errors.h"

namespace zymdate {

std::string failureText(std::string_view server, QueryStage stage, int error) {
    if (stage == QueryStage::AwaitingReply)
        return messages::receiveError(error, zymcalls::errorDescription(error));
    if (error == net::kConnectionFailed || error == net::kTimedOut)
        return messages::cannotConnect(server);
    return messages::connectError(error, zymcalls::errorDescription(error));
}

} // namespace zymdate
