#include "seams.h"

#include <mmsystem.h>

namespace zymdate {

Seams realSeams() {
    return Seams{::GetSystemTime, ::GetLocalTime, ::timeGetTime, ::SetSystemTime, ::MessageBoxA};
}

Seams& seams() {
    static Seams current = realSeams();
    return current;
}

} // namespace zymdate
