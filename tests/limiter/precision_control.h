#pragma once
// Lets a limiter test run as inside a host that left the x87 precision control
// at 24, 53 or 64 bits. Where the build has no such control to set, only the
// build's own arithmetic is exercised.
#include <string>
#include <vector>

#include "tests/support/x87_precision.h"

// The precision controls to run under; 0 stands for the build as it is.
inline std::vector<int> host_precisions() {
  if (x87_precision_bits() == 0) return {0};
  return {24, 53, 64};
}

inline std::string precision_name(int bits) {
  return bits == 0 ? "as_built" : "x87_" + std::to_string(bits) + "_bits";
}

// Sets the precision control for its lifetime, as a host would, then restores it.
class host_precision_scope {
 public:
  explicit host_precision_scope(int bits) : saved_(x87_precision_bits()) {
    if (bits != 0) set_x87_precision_bits(bits);
  }
  ~host_precision_scope() {
    if (saved_ != 0) set_x87_precision_bits(saved_);
  }
  host_precision_scope(const host_precision_scope&) = delete;
  host_precision_scope& operator=(const host_precision_scope&) = delete;

 private:
  int saved_;
};
