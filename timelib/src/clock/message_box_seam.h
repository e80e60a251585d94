// Message boxes, as the clock setter shows its refusal: tests replace them, as a
// box would wait for a click forever.
#pragma once

#include "tw/ui_seams.h"

namespace zymdate {

using tw::messageBox;
using tw::MessageBoxSeam;

} // namespace zymdate
