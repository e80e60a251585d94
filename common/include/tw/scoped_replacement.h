// Replaces a module's process-wide value (its seams) for the lifetime of a test
// and restores it after, whatever the test does in between.
#pragma once

namespace tw {

template <class T, T& (*Current)()> class ScopedReplacement {
  public:
    explicit ScopedReplacement(const T& replacement) : saved_(Current()) {
        Current() = replacement;
    }
    ~ScopedReplacement() { Current() = saved_; }
    ScopedReplacement(const ScopedReplacement&) = delete;
    ScopedReplacement& operator=(const ScopedReplacement&) = delete;

  private:
    T saved_;
};

} // namespace tw
