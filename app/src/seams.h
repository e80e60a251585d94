// The program's platform effects that tests replace: reading the clock (for
// deterministic schedules and texts). Production binds each to the real call.
#pragma once

#include <windows.h>

namespace tickwell {

struct Seams {
    void(WINAPI* getLocalTime)(LPSYSTEMTIME);
    void(WINAPI* getSystemTime)(LPSYSTEMTIME);
};

Seams& seams();
Seams realSeams();

class ScopedSeams {
  public:
    explicit ScopedSeams(const Seams& replacement) : saved_(seams()) { seams() = replacement; }
    ~ScopedSeams() { seams() = saved_; }
    ScopedSeams(const ScopedSeams&) = delete;
    ScopedSeams& operator=(const ScopedSeams&) = delete;

  private:
    Seams saved_;
};

} // namespace tickwell
