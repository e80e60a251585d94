#include "query/rfc868.h"

#include "shared/filetime.h"

namespace zymdate {

SYSTEMTIME rfc868ToSystemTime(uint32_t seconds) {
    SYSTEMTIME st{};
    unitsToSystemTime(kUnitsFrom1601To1900 + static_cast<int64_t>(seconds) * kUnitsPerSecond, st);
    return st;
}

} // namespace zymdate
