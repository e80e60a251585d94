// EXIST: thin adapter over file_exists.
#include "zym.h"

#include "file_exists.h"
#include "tw/bstr.h"
#include "tw/export_edge.h"

extern "C" int32_t WINAPI EXIST(BSTR path) {
    return tw::atEdge<int32_t>(0, [&] { return zym::fileExists(tw::fromBstr(path)) ? 1 : 0; });
}
