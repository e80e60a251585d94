// The whole process at high priority for the life of a scope, back to normal
// after it however the scope ends: the time query's exchange and the Daytime
// line built from the PC clock must not wait on the scheduler.
#pragma once

#include <windows.h>

namespace zymdate {

class HighPriorityScope {
  public:
    HighPriorityScope() { ::SetPriorityClass(::GetCurrentProcess(), HIGH_PRIORITY_CLASS); }
    ~HighPriorityScope() { ::SetPriorityClass(::GetCurrentProcess(), NORMAL_PRIORITY_CLASS); }
    HighPriorityScope(const HighPriorityScope&) = delete;
    HighPriorityScope& operator=(const HighPriorityScope&) = delete;
};

} // namespace zymdate
