// SAVESETTING, DELETEREGVALUE: thin adapters over registry_value. The two take
// their arguments in different shapes; both are kept as callers declare them.
#include "zym.h"

#include "registry_value.h"
#include "tw/bstr.h"
#include "tw/export_edge.h"

extern "C" int32_t WINAPI SAVESETTING(int32_t* root, BSTR keyPath, BSTR valueName, BSTR valueData) {
    return tw::atEdge<int32_t>(0, [&] {
        const auto key = root ? zym::predefinedRoot(*root) : std::nullopt;
        if (!key)
            return 0;
        return zym::saveSetting(*key, tw::fromBstr(keyPath), tw::fromBstr(valueName),
                                tw::fromBstr(valueData))
                   ? 1
                   : 0;
    });
}

extern "C" int32_t WINAPI DELETEREGVALUE(int32_t root, BSTR* keyPath, BSTR* valueName) {
    return tw::atEdge<int32_t>(0, [&] {
        const auto key = zym::predefinedRoot(root);
        if (!key)
            return 0;
        return zym::deleteRegValue(*key, tw::fromBstrRef(keyPath), tw::fromBstrRef(valueName)) ? 1
                                                                                               : 0;
    });
}
