// Exports of the time query: thin adapters over time_query and rfc868.
#include "zymdate.h"

#include "rfc868.h"

extern "C" int32_t WINAPI RFC868TOSYSTEMTIME(uint32_t value, SYSTEMTIME* time) {
    if (time != nullptr)
        *time = zymdate::rfc868ToSystemTime(zymdate::rfc868SecondsFromWire(value));
    return 1;
}
