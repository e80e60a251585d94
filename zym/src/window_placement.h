// Where a window opens: the placement rule, on plain rectangles.
#pragma once

#include <windows.h>

namespace zym {

// Top-left corner for a window of size width x height centred over anchor and then
// moved as little as needed to lie inside workArea (pinned to its top-left when it
// is larger). Screen coordinates.
POINT centredPosition(int width, int height, const RECT& anchor, const RECT& workArea);

} // namespace zym
