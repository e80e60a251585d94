// Exports of the time-server texts: thin adapters over time_server_clock.
#include "zymdate.h"

#include "time_server/time_server_clock.h"
#include "tw/export_edge.h"

// Missing arguments read as flag 0 and advance 0 (so the default advance).
extern "C" BSTR WINAPI STTONISTTIME(int32_t* leap, double* advance) {
    double localAdvance = 0;
    double& adv = advance ? *advance : localAdvance;
    return tw::textAtEdge([&] { return zymdate::sysTimeToNistTime(leap ? *leap : 0, adv); });
}

extern "C" uint32_t WINAPI RFC868TIME(void) {
    return zymdate::rfc868Time();
}

extern "C" BSTR WINAPI INETTIME(void) {
    return tw::textAtEdge([] { return zymdate::inetTime(); });
}

// Missing minutes read as 0: the current time.
extern "C" BSTR WINAPI SETNEXTCHECKTIME(int32_t* minutes) {
    return tw::textAtEdge([&] { return zymdate::nextCheckTextFromNow(minutes ? *minutes : 0); });
}
