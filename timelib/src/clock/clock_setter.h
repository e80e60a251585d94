// Setting the PC clock to a UTC time and wording how far the local clock moved
// (difference_text.h).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace zymdate {

// Enables the system-time privilege in this process's token; the result of
// AdjustTokenPrivileges (non-zero even when the token lacks the privilege: a
// refusal then shows when the clock is set).
BOOL WINAPI enableSystemTimePrivilege();

inline constexpr const char* kAccessDeniedCaption = "Access Denied";
inline constexpr const char* kAccessDeniedText =
    "Your account does not have sufficient privileges to adjust system time properties\r\n"
    "please see your system administrator";

// Sets the clock to time (UTC) and words the change of local time. When the
// privilege is refused: a message box and the empty text. When the set fails:
// the description of the error. After a successful set the caller's record is
// 50 ms earlier (borrowing from the seconds where needed). matchFlag is only
// ever set to 1, when local time reads the same second before and after. Top-level
// windows hear of a successful set (WM_TIMECHANGE) once the clock holds the new time.
std::string setPcTime(SYSTEMTIME& time, int32_t& matchFlag);

} // namespace zymdate
