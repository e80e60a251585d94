#include "window_placement.h"

#include <algorithm>

namespace zym {

POINT centredPosition(int width, int height, const RECT& anchor, const RECT& workArea) {
    int x = anchor.left + (anchor.right - anchor.left - width) / 2;
    int y = anchor.top + (anchor.bottom - anchor.top - height) / 2;
    // Keep it reachable: inside the work area, its caption visible first of all.
    x = std::max(std::min(x, static_cast<int>(workArea.right) - width),
                 static_cast<int>(workArea.left));
    y = std::max(std::min(y, static_cast<int>(workArea.bottom) - height),
                 static_cast<int>(workArea.top));
    return POINT{x, y};
}

} // namespace zym
