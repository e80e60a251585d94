// GETLASTERRORDESCRIPTION: thin adapter over error_text.
#include "zym.h"

#include "error_text.h"
#include "tw/export_edge.h"

// reserved: callers pass 0; it selects nothing.
extern "C" BSTR WINAPI GETLASTERRORDESCRIPTION(int32_t errorNumber, int32_t /*reserved*/) {
    return tw::textAtEdge([&] { return zym::describeError(errorNumber); });
}
