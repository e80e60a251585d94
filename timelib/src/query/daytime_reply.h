// A Daytime reply in the NIST layout: its text as shown, the health digit and
// the date and time fields. No Win32 here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zymdate {

// Leading and trailing LFs removed, every other LF widened to CR LF.
std::string replyText(std::string_view reply);

// The digit at position 30 of a Daytime line; 0 when there is none.
int healthDigit(std::string_view text);

// "20" + the date field + " " + the time field of a Daytime line
// ("2002-01-15 06:21:59" style text in the "YY-MM-DD HH:MM:SS" layout); nothing
// when either field is not two digits, separator, two digits, separator, two digits.
std::optional<std::string> daytimeDateText(std::string_view text);

} // namespace zymdate
