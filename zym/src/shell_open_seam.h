// Opening a web address with the shell, as zym's URL control does: tests replace it.
#pragma once

#include "tw/ui_seams.h"

namespace zym {

using tw::shellOpen;
using tw::ShellOpenSeam;

} // namespace zym
