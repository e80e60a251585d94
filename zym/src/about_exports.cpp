// ZYMSHELLABOUT: thin adapter over about_box.
#include "zym.h"

#include "about_box.h"
#include "tw/bstr.h"
#include "tw/export_edge.h"

// flags: callers pass 1; no variant of the box depends on it.
extern "C" int32_t WINAPI ZYMSHELLABOUT(HWND* owner, int32_t* /*flags*/, BSTR* programName,
                                        BSTR* version, BSTR* credit1, BSTR* credit2,
                                        BSTR* webAddress, HICON* icon) {
    return tw::atEdge<int32_t>(0, [&] {
        zym::AboutContent content;
        content.programName = tw::fromBstrRef(programName);
        content.version = tw::fromBstrRef(version);
        content.credit1 = tw::fromBstrRef(credit1);
        content.credit2 = tw::fromBstrRef(credit2);
        content.webAddress = tw::fromBstrRef(webAddress);
        content.icon = icon ? *icon : nullptr;
        return zym::showAboutBox(owner ? *owner : nullptr, content) ? 1 : 0;
    });
}
