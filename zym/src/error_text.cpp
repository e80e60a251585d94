#include "error_text.h"

#include "socket_error_text.h"
#include "tw/handles.h"
#include "tw/trim.h"

#include <windows.h>

namespace zym {

std::string trimMessageEnd(std::string text) {
    return std::string(tw::trimmedEnd(text, tw::kWhiteSpace));
}

std::string systemErrorMessage(std::uint32_t code) {
    // Let the system size the text; it hands back memory we free with LocalFree.
    char* buffer = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    const tw::unique_hlocal owner(buffer);
    if (length == 0 || buffer == nullptr)
        return {};
    return trimMessageEnd(std::string(buffer, length));
}

std::string describeError(std::int32_t errorNumber) {
    if (const auto text = socketErrorText(errorNumber))
        return std::string(*text);
    std::string text = systemErrorMessage(static_cast<std::uint32_t>(errorNumber));
    if (!text.empty())
        return text;
    return "Unknown error " + std::to_string(errorNumber);
}

} // namespace zym
