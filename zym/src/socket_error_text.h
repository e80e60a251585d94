// Wording of the small error numbers that zymdate's time query reports
// (tw/query_errors.h). These numbers collide with Windows error codes of the
// same value; callers that hand them to GETLASTERRORDESCRIPTION mean the query's.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zym {

// The text for one of the socket layer's numbers, or nothing for any other number.
std::optional<std::string_view> socketErrorText(std::int32_t errorNumber);

} // namespace zym
