#pragma once
// Rounding that comes out the same on every build: SSE2, SSE with x87 doubles,
// and plain x87 whatever precision the host process left in its control word.
//
// Two things differ between those builds unless the code forces them:
// - x87 keeps a float or double result in an 80-bit register until it is
//   stored, so a value meant to be rounded to single precision may be compared
//   or reused with extra bits;
// - x87 rounds double arithmetic to the precision control of the control word,
//   53 or 64 bits, and a 64-bit sum rounded again to double and then to single
//   can land one step away from the double sum rounded to single.
#include <cfloat>

#if (defined(__i386__) && !defined(__SSE2_MATH__)) || \
    (defined(_M_IX86) && (!defined(_M_IX86_FP) || _M_IX86_FP < 2))
#define AMBRELITH_X87_DOUBLES 1
#if !defined(__GNUC__)
#error "x87 builds set the precision control with GCC-style inline assembly"
#endif
#else
#define AMBRELITH_X87_DOUBLES 0
#endif

// The float value itself, without any excess precision a register may carry.
inline float stored_float(float value) {
#if FLT_EVAL_METHOD != 0
  volatile float stored = value;
  return stored;
#else
  return value;
#endif
}

// A double-precision result rounded to double, then once to single precision.
inline float rounded_to_float(double value) {
#if FLT_EVAL_METHOD != 0
  volatile double stored = value;
  return stored_float(static_cast<float>(stored));
#else
  return static_cast<float>(value);
#endif
}

// While it lives, x87 arithmetic rounds to double precision (53 bits), so that a
// double sum is rounded exactly once; the caller's precision control comes back
// at the end of the scope. It changes the control word only when the precision
// differs, so a caller already at 53 bits pays for one store of the word. On
// builds whose doubles are SSE2 it does nothing.
class double_rounding_scope {
 public:
#if AMBRELITH_X87_DOUBLES
  double_rounding_scope() {
    saved_ = read_control_word();
    const unsigned short wanted = (saved_ & ~precision_mask) | precision_53;
    if (wanted != saved_) write_control_word(wanted);
  }
  ~double_rounding_scope() {
    if ((saved_ & precision_mask) != precision_53) write_control_word(saved_);
  }
#else
  double_rounding_scope() {}
#endif
  double_rounding_scope(const double_rounding_scope&) = delete;
  double_rounding_scope& operator=(const double_rounding_scope&) = delete;

#if AMBRELITH_X87_DOUBLES
 private:
  static constexpr unsigned short precision_mask = 0x0300;  // PC field, bits 8-9
  static constexpr unsigned short precision_53 = 0x0200;    // PC = 10b: double

  // "memory" keeps the loads and stores of the arithmetic on their side of
  // the change.
  static unsigned short read_control_word() {
    unsigned short word;
    __asm__ __volatile__("fnstcw %0" : "=m"(word) : : "memory");
    return word;
  }
  static void write_control_word(unsigned short word) {
    __asm__ __volatile__("fldcw %0" : : "m"(word) : "memory");
  }

  unsigned short saved_;
#endif
};
