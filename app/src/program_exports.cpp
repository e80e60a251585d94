// The program's own exports: thin adapters over system_versions.
#include "system_versions.h"

#include "tw/bstr.h"
#include "tw/export_edge.h"

#include <windows.h>

#include <cstdint>

extern "C" double WINAPI GETSYSFILEVER(BSTR fileName) {
    return tw::atEdge(0.0, [&] { return tickwell::getSysFileVer(tw::fromBstr(fileName)); });
}

extern "C" double WINAPI INITCOMCTL32(int32_t classes) {
    return tw::atEdge(0.0, [&] { return tickwell::initComCtl32(classes); });
}
