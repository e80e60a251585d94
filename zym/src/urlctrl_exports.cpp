// INITURLCTRL: prepares the window classes the About box's web link uses.
#include "zym.h"

#include <commctrl.h>

extern "C" int32_t WINAPI INITURLCTRL(void) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LINK_CLASS | ICC_STANDARD_CLASSES};
    return ::InitCommonControlsEx(&icc) ? 1 : 0;
}
