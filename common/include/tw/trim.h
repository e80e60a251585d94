// Cutting blanks off the ends of a text. Which characters count as blanks is
// the caller's: a typed server name drops spaces and tabs, a Daytime reply its
// line breaks, a system message its trailing line end. No Win32 here.
#pragma once

#include <string_view>

namespace tw {

inline constexpr std::string_view kSpaceAndTab = " \t";
inline constexpr std::string_view kSpace = " ";
inline constexpr std::string_view kWhiteSpace = " \t\r\n";

// The text without the blanks at its end.
constexpr std::string_view trimmedEnd(std::string_view text,
                                      std::string_view blanks = kSpaceAndTab) {
    const size_t last = text.find_last_not_of(blanks);
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

// The text without the blanks at either end.
constexpr std::string_view trimmed(std::string_view text, std::string_view blanks = kSpaceAndTab) {
    const size_t first = text.find_first_not_of(blanks);
    return first == std::string_view::npos ? std::string_view{}
                                           : trimmedEnd(text.substr(first), blanks);
}

static_assert(trimmed("  a b \t") == "a b");
static_assert(trimmed(" \t ").empty());
static_assert(trimmedEnd("\nline\n\n", "\n") == "\nline");

} // namespace tw
