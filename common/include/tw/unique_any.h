// One move-only owner for every kind of Win32 handle.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

namespace tw {

// Owns a handle of type T that is released with Close and whose "no handle"
// value has the bits InvalidBits (0, or ~0 for INVALID_HANDLE_VALUE and
// INVALID_SOCKET). The bits, not a T, are the template argument because a pointer
// made from an integer such as INVALID_HANDLE_VALUE cannot be one. Copying is
// forbidden so that a handle never has two owners.
template <typename T, auto Close, std::uintptr_t InvalidBits = 0> class unique_any {
  public:
    // The "no handle" value (a function: reinterpret_cast is not a constant expression).
    static T invalid() noexcept {
        if constexpr (std::is_pointer_v<T>)
            return reinterpret_cast<T>(InvalidBits);
        else
            return static_cast<T>(InvalidBits);
    }

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
    explicit operator bool() const noexcept { return value_ != invalid(); }

    void reset(T value = invalid()) noexcept {
        T old = std::exchange(value_, value);
        if (old != invalid())
            Close(old);
    }
    T release() noexcept { return std::exchange(value_, invalid()); }

    // For out-parameters of Win32 calls: frees the current value first.
    T* put() noexcept {
        reset();
        return &value_;
    }

    // For in/out parameters: the callee may free the value and store another,
    // which this owner then holds.
    T* addressof() noexcept { return &value_; }

  private:
    T value_ = invalid();
};

} // namespace tw
