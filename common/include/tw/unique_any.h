// One move-only owner for every kind of Win32 handle.
#pragma once

#include <utility>

namespace tw {

// Owns a handle of type T that is released with Close and whose "no handle"
// value is Invalid. Copying is forbidden so that a handle never has two owners.
template <typename T, auto Close, T Invalid = T{}> class unique_any {
  public:
    unique_any() noexcept = default;
    explicit unique_any(T value) noexcept : value_(value) {}
    ~unique_any() { reset(); }

    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    unique_any(unique_any&& other) noexcept : value_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Invalid; }

    void reset(T value = Invalid) noexcept {
        T old = std::exchange(value_, value);
        if (old != Invalid)
            Close(old);
    }
    T release() noexcept { return std::exchange(value_, Invalid); }

    // For out-parameters of Win32 calls: frees the current value first.
    T* put() noexcept {
        reset();
        return &value_;
    }

  private:
    T value_ = Invalid;
};

} // namespace tw
