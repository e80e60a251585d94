// GETLASTERRORDESCRIPTION: thin adapter over error_text.
#include "zym.h"

#include "error_text.h"
#include "export_edge.h"
#include "tw/bstr.h"

// reserved: callers pass 0; it selects nothing.
extern "C" BSTR WINAPI GETLASTERRORDESCRIPTION(int32_t errorNumber, int32_t /*reserved*/) {
    return zym::atEdge<BSTR>(nullptr,
                             [&] { return tw::makeBstr(zym::describeError(errorNumber)); });
}
