#include "query/rfc868.h"

#include "tw/filetime.h"

namespace zymdate {

SYSTEMTIME rfc868ToSystemTime(uint32_t seconds) {
    SYSTEMTIME st{};
    tw::unitsToSystemTime(
        tw::kUnitsFrom1601To1900 + static_cast<int64_t>(seconds) * tw::kUnitsPerSecond, st);
    return st;
}

} // namespace zymdate
