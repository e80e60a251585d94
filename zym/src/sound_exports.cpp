// PLAYWAVFROMRESOURCE: thin adapter over wave_resource.
#include "zym.h"

#include "export_edge.h"
#include "tw/bstr.h"
#include "wave_resource.h"

// A missing instance (NULL pointer or NULL handle) means the program file itself.
extern "C" int32_t WINAPI PLAYWAVFROMRESOURCE(HINSTANCE* instance, BSTR* resourceName,
                                              BSTR* resourceType) {
    return zym::atEdge<int32_t>(0, [&] {
        return zym::playWaveResource(instance ? *instance : nullptr, tw::fromBstrRef(resourceName),
                                     tw::fromBstrRef(resourceType))
                   ? 1
                   : 0;
    });
}
