// Exports of the clock setter: thin adapters over clock_setter and difference_text.
#include "zymdate.h"

#include "clock/clock_setter.h"
#include "clock/difference_text.h"
#include "tw/bstr.h"
#include "tw/export_edge.h"

extern "C" int32_t WINAPI SETTIMEPRIVILEGE() {
    return zymdate::enableSystemTimePrivilege();
}

extern "C" BSTR WINAPI SETPCTIME(SYSTEMTIME* time, int32_t* matchFlag) {
    if (time == nullptr)
        return nullptr; // nothing to set the clock to
    return tw::atEdge<BSTR>(nullptr, [&] {
        int32_t flag = matchFlag ? *matchFlag : 0;
        BSTR text = tw::makeBstr(zymdate::setPcTime(*time, flag));
        if (matchFlag)
            *matchFlag = flag;
        return text;
    });
}

extern "C" BSTR WINAPI DIFFERENCETEXT(SYSTEMTIME* first, SYSTEMTIME* second, int32_t* matchFlag) {
    return tw::atEdge<BSTR>(nullptr, [&] {
        const SYSTEMTIME from = first ? *first : SYSTEMTIME{};
        SYSTEMTIME to = second ? *second : SYSTEMTIME{};
        int32_t flag = matchFlag ? *matchFlag : 0;
        BSTR text = tw::makeBstr(zymdate::differenceText(from, to, flag));
        if (second)
            *second = to;
        if (matchFlag)
            *matchFlag = flag;
        return text;
    });
}
