// PLAYWAVFROMRESOURCE: thin adapter over wave_resource.
#include "zym.h"

#include "tw/bstr.h"
#include "tw/export_edge.h"
#include "wave_resource.h"

// A missing instance (NULL pointer or NULL handle) means the program file itself.
extern "C" int32_t WINAPI PLAYWAVFROMRESOURCE(HINSTANCE* instance, BSTR* resourceName,
                                              BSTR* resourceType) {
    return tw::atEdge<int32_t>(0, [&] {
        return zym::playWaveResource(instance ? *instance : nullptr, tw::fromBstrRef(resourceName),
                                     tw::fromBstrRef(resourceType))
                   ? 1
                   : 0;
    });
}
