// EXIST: thin adapter over file_exists.
#include "zym.h"

#include "export_edge.h"
#include "file_exists.h"
#include "tw/bstr.h"

extern "C" int32_t WINAPI EXIST(BSTR path) {
    return zym::atEdge<int32_t>(0, [&] { return zym::fileExists(tw::fromBstr(path)) ? 1 : 0; });
}
