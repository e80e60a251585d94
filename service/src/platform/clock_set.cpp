#include "clock_set.h"

#include "tw/bstr.h"
#include "zym.h"
#include "zymdate.h"

namespace tickwell::service {
namespace {

// Windows that do not answer the time-change notice within this time are
// skipped, so one hung program cannot stall the service.
constexpr UINT kTimeChangeNoticeTimeoutMs = 1000;

std::string systemText(DWORD error) {
    return tw::takeBstr(::GETLASTERRORDESCRIPTION(static_cast<int32_t>(error), 0));
}

} // namespace

ClockSet setClock(const SYSTEMTIME& utc) {
    ClockSet result;
    // A token without the privilege: SetSystemTime says so below, in the
    // system's words, as it does for every other refusal.
    ::SETTIMEPRIVILEGE();
    SYSTEMTIME before{};
    ::GetLocalTime(&before);
    if (!::SetSystemTime(&utc)) {
        result.text = systemText(::GetLastError());
        return result;
    }
    SYSTEMTIME after{};
    ::GetLocalTime(&after);
    result.set = true;
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(HWND_BROADCAST, WM_TIMECHANGE, 0, 0, SMTO_ABORTIFHUNG,
                          kTimeChangeNoticeTimeoutMs, &ignored);
    int32_t matches = 0;
    result.text = tw::takeBstr(::DIFFERENCETEXT(&before, &after, &matches));
    result.matches = matches == 1;
    return result;
}

} // namespace tickwell::service
