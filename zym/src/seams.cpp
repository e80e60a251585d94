#include "seams.h"

#include <shellapi.h>

namespace zym {

Seams realSeams() {
    return Seams{::ShellExecuteA};
}

Seams& seams() {
    static Seams current = realSeams();
    return current;
}

} // namespace zym
