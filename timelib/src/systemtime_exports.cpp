// Exports of SYSTEMTIME arithmetic and zones: thin adapters over systemtime.
#include "zymdate.h"

#include "systemtime.h"
#include "tw/bstr.h"

extern "C" int32_t WINAPI INCRSYSTEMTIME(SYSTEMTIME* time, int32_t milliseconds) {
    if (time)
        zymdate::addMilliseconds(*time, milliseconds);
    return 0;
}

extern "C" int32_t WINAPI DECRSYSTEMTIME(SYSTEMTIME* time, int32_t milliseconds) {
    if (time)
        zymdate::addMilliseconds(*time, -static_cast<int64_t>(milliseconds));
    return 0;
}

extern "C" int32_t WINAPI CONVERTTOLOCALTIME(SYSTEMTIME* source, SYSTEMTIME* target) {
    if (source && target)
        zymdate::utcToLocal(*source, *target);
    return 0;
}

extern "C" int32_t WINAPI CONVERTTOGMTTIME(SYSTEMTIME* source, SYSTEMTIME* target) {
    if (source && target)
        zymdate::localToUtc(*source, *target);
    return 0;
}

extern "C" int32_t WINAPI CONVERTTOSYSTEMTIME(BSTR* dateText, SYSTEMTIME* target) {
    try {
        if (target)
            *target = zymdate::systemTimeFromText(tw::fromBstrRef(dateText));
    } catch (...) {
    }
    return 0;
}

extern "C" int32_t WINAPI DATEDIFFERENCE(BSTR firstDateText, BSTR secondDateText) {
    try {
        return zymdate::dateDifference(tw::fromBstr(firstDateText), tw::fromBstr(secondDateText));
    } catch (...) {
        return INT32_MIN;
    }
}

extern "C" int32_t WINAPI ISFILEDATENEWER(BSTR* fileName, BSTR* dateText) {
    try {
        return zymdate::isFileDateNewer(tw::fromBstrRef(fileName), tw::fromBstrRef(dateText)) ? 1
                                                                                              : 0;
    } catch (...) {
        return 0;
    }
}
