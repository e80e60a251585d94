// GETINIDATA, WRITEINIDATA: thin adapters over ini_file.
#include "zym.h"

#include "ini_file.h"
#include "tw/bstr.h"
#include "tw/export_edge.h"

using tw::fromBstrRef;

extern "C" BSTR WINAPI GETINIDATA(BSTR* file, BSTR* section, BSTR* key, BSTR* defaultValue) {
    return tw::textAtEdge([&] {
        return zym::getIniData(fromBstrRef(file), fromBstrRef(section), fromBstrRef(key),
                               fromBstrRef(defaultValue));
    });
}

extern "C" int32_t WINAPI WRITEINIDATA(BSTR* file, BSTR* section, BSTR* key, BSTR* value) {
    return tw::atEdge<int32_t>(0, [&] {
        return zym::writeIniData(fromBstrRef(file), fromBstrRef(section), fromBstrRef(key),
                                 fromBstrRef(value))
                   ? 1
                   : 0;
    });
}
