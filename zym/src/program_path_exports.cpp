// APPPATH, EXENAME: thin adapters over program_path.
#include "zym.h"

#include "program_path.h"
#include "tw/export_edge.h"

extern "C" BSTR WINAPI APPPATH(void) {
    return tw::textAtEdge([] { return zym::appPath(); });
}

extern "C" BSTR WINAPI EXENAME(void) {
    return tw::textAtEdge([] { return zym::exeName(); });
}
