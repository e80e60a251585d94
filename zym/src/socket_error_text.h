// Wording of the small error numbers that zymdate's socket layer reports. These
// numbers collide with Windows error codes of the same value; callers that hand
// them to GETLASTERRORDESCRIPTION mean the socket layer's meaning.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zym {

// The text for one of the socket layer's numbers, or nothing for any other number.
std::optional<std::string_view> socketErrorText(std::int32_t errorNumber);

} // namespace zym
