// Seams: the platform calls of one kind of effect that tests replace (setting
// or reading the clock, message boxes, opening a web address). A seam type
// lists its calls and gives their production bindings as `static T real()`.
#pragma once

namespace tw {

// The calls in force for this module: the DLL and a white-box test program
// each hold their own.
template <class T> T& seam() {
    static T current = T::real();
    return current;
}

// Replaces a seam for the lifetime of a test and restores it after, whatever
// the test does in between.
template <class T> class ScopedSeam {
  public:
    explicit ScopedSeam(const T& replacement) : saved_(seam<T>()) { seam<T>() = replacement; }
    ~ScopedSeam() { seam<T>() = saved_; }
    ScopedSeam(const ScopedSeam&) = delete;
    ScopedSeam& operator=(const ScopedSeam&) = delete;

  private:
    T saved_;
};

} // namespace tw
