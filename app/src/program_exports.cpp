// The program's own exports: thin adapters over system_versions.
#include "system_versions.h"

#include "tw/bstr.h"

#include <windows.h>

#include <cstdint>

extern "C" double WINAPI GETSYSFILEVER(BSTR fileName) {
    try {
        return tickwell::getSysFileVer(tw::fromBstr(fileName));
    } catch (...) {
        return 0;
    }
}

extern "C" double WINAPI INITCOMCTL32(int32_t classes) {
    try {
        return tickwell::initComCtl32(classes);
    } catch (...) {
        return 0;
    }
}
