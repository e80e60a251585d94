// APPPATH, EXENAME: thin adapters over program_path.
#include "zym.h"

#include "export_edge.h"
#include "program_path.h"
#include "tw/bstr.h"

extern "C" BSTR WINAPI APPPATH(void) {
    return zym::atEdge<BSTR>(nullptr, [] { return tw::makeBstr(zym::appPath()); });
}

extern "C" BSTR WINAPI EXENAME(void) {
    return zym::atEdge<BSTR>(nullptr, [] { return tw::makeBstr(zym::exeName()); });
}
