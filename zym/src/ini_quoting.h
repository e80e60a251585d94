// The profile API trims blanks around a value and drops one pair of enclosing
// quotes when it reads. So that every value written reads back unchanged, such
// values are stored inside an extra pair of double quotes.
#pragma once

#include <string>
#include <string_view>

namespace zym {

// The text to store so that GetPrivateProfileString returns exactly value.
std::string iniStoredForm(std::string_view value);

} // namespace zym
