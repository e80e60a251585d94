#include "clock/clock_setter.h"

#include "clock/clock_setting_seam.h"
#include "clock/difference_text.h"
#include "clock/message_box_seam.h"
#include "clock/pc_clock_seam.h"
#include "shared/zym_calls.h"
#include "systemtime/systemtime.h"
#include "tw/handles.h"

namespace zymdate {

namespace {

// Windows that do not answer the time-change notice within this time are
// skipped, so one hung program cannot stall the clock set.
constexpr UINT kTimeChangeNoticeTimeoutMs = 1000;

constexpr int64_t kSetterMillisecondAdjust = 50;

bool isNtFamily() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    ::GetVersionExA(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

} // namespace

BOOL WINAPI enableSystemTimePrivilege() {
    tw::unique_handle token;
    ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES, token.put());
    LUID luid{};
    ::LookupPrivilegeValueA(nullptr, SE_SYSTEMTIME_NAME, &luid);

    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Luid = luid;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    TOKEN_PRIVILEGES previous{};
    DWORD previousLength = 0;
    return ::AdjustTokenPrivileges(token.get(), FALSE, &wanted, sizeof previous, &previous,
                                   &previousLength);
}

std::string setPcTime(SYSTEMTIME& time, int32_t& matchFlag) {
    if (isNtFamily() && !clockSetting().enablePrivilege()) {
        messageBox().show(nullptr, kAccessDeniedText, kAccessDeniedCaption, MB_OK | MB_ICONHAND);
        return {};
    }

    SYSTEMTIME before{};
    pcClock().getLocalTime(&before);
    if (!clockSetting().setSystemTime(&time))
        return zymcalls::errorDescription(static_cast<int>(::GetLastError()));
    SYSTEMTIME after{};
    pcClock().getLocalTime(&after);

    // Only now, so that windows refreshing on the notice read the new time; and
    // after the second reading, as time that passes while the notice goes round
    // (seconds, with slow windows) is no change of the clock.
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(HWND_BROADCAST, WM_TIMECHANGE, 0, 0, SMTO_ABORTIFHUNG,
                          kTimeChangeNoticeTimeoutMs, &ignored);

    // With the calendar's borrows; a record the platform rejects stays as it is
    // (it counts as 1601, and 50 ms before that does not exist).
    addMilliseconds(time, -kSetterMillisecondAdjust);
    return differenceText(before, after, matchFlag);
}

} // namespace zymdate
