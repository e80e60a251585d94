// Exports of SYSTEMTIME arithmetic and zones: thin adapters over systemtime.
#include "zymdate.h"

#include "systemtime/systemtime.h"
#include "tw/bstr.h"
#include "tw/export_edge.h"

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
    return tw::atEdge<int32_t>(0, [&] {
        if (target)
            *target = zymdate::systemTimeFromText(tw::fromBstrRef(dateText));
        return 0;
    });
}

extern "C" int32_t WINAPI DATEDIFFERENCE(BSTR firstDateText, BSTR secondDateText) {
    return tw::atEdge<int32_t>(INT32_MIN, [&] {
        return zymdate::dateDifference(tw::fromBstr(firstDateText), tw::fromBstr(secondDateText));
    });
}

extern "C" int32_t WINAPI ISFILEDATENEWER(BSTR* fileName, BSTR* dateText) {
    return tw::atEdge<int32_t>(0, [&] {
        return zymdate::isFileDateNewer(tw::fromBstrRef(fileName), tw::fromBstrRef(dateText)) ? 1
                                                                                              : 0;
    });
}
