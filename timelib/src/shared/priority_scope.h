// The whole process at high priority for the life of a scope, back to the
// class it had before however the scope ends: the time query's exchange and
// the Daytime line built from the PC clock must not wait on the scheduler, and
// a user who runs the program at low priority keeps that choice.
#pragma once

#include <windows.h>

namespace zymdate {

class HighPriorityScope {
  public:
    HighPriorityScope() : previous_(::GetPriorityClass(::GetCurrentProcess())) {
        ::SetPriorityClass(::GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    }
    ~HighPriorityScope() {
        // 0: the class could not be read; normal is then the best guess.
        ::SetPriorityClass(::GetCurrentProcess(),
                           previous_ != 0 ? previous_ : NORMAL_PRIORITY_CLASS);
    }
    HighPriorityScope(const HighPriorityScope&) = delete;
    HighPriorityScope& operator=(const HighPriorityScope&) = delete;

  private:
    DWORD previous_;
};

} // namespace zymdate
