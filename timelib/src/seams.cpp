#include "seams.h"

#include "clock_setter.h"

#include <mmsystem.h>

namespace zymdate {

Seams realSeams() {
    return Seams{::GetSystemTime, ::GetLocalTime, ::timeGetTime,
                 ::SetSystemTime, ::MessageBoxA,  enableSystemTimePrivilege};
}

Seams& seams() {
    static Seams current = realSeams();
    return current;
}

} // namespace zymdate
