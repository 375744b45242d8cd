// The main of every test program: GoogleTest's, after the x87 precision control
// that the environment asks for (see x87_precision.h) has been set.
#include <gtest/gtest.h>

#include "tests/support/x87_precision.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (!apply_requested_x87_precision()) return 2;
  return RUN_ALL_TESTS();
}
