// What the answers of several servers agree on: each answer's verdict, the
// time taken and the one line that tells the user. No sockets or clock: the
// query hands over the answers and the PC clock when it ended.
#pragma once

#include "query/servers_query.h"

#include <cstdint>
#include <vector>

namespace zymdate {

// answers in the order asked; pcNowUnits the PC clock (100-ns units since
// 1601) the answers' offsets are reckoned from.
ServersOutcome combineAnswers(std::vector<ServerAnswer> answers, int64_t pcNowUnits);

} // namespace zymdate
