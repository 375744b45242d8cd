#include "tests/support/x87_precision.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32) && defined(__i386__)
#include <float.h>
#define AMBRELITH_HAS_X87_CONTROL 1
#else
#define AMBRELITH_HAS_X87_CONTROL 0
#endif

bool set_x87_precision_bits(int bits) {
#if AMBRELITH_HAS_X87_CONTROL
  unsigned int field = 0;
  switch (bits) {
    case 24:
      field = _PC_24;
      break;
    case 53:
      field = _PC_53;
      break;
    case 64:
      field = _PC_64;
      break;
    default:
      return false;
  }
  _controlfp(field, _MCW_PC);
  return x87_precision_bits() == bits;
#else
  (void)bits;
  return false;
#endif
}

int x87_precision_bits() {
#if AMBRELITH_HAS_X87_CONTROL
  switch (_controlfp(0, 0) & _MCW_PC) {
    case _PC_24:
      return 24;
    case _PC_53:
      return 53;
    default:
      return 64;
  }
#else
  return 0;
#endif
}

bool apply_requested_x87_precision() {
  const char* requested = std::getenv("AMBRELITH_X87_PRECISION");
  if (requested == nullptr || *requested == '\0') return true;
  int bits = 0;
  if (std::strcmp(requested, "53") == 0) bits = 53;
  if (std::strcmp(requested, "64") == 0) bits = 64;
  if (bits == 0) {
    std::fprintf(stderr, "AMBRELITH_X87_PRECISION must be 53 or 64, not \"%s\"\n", requested);
    return false;
  }
  if (!set_x87_precision_bits(bits)) {
    std::fprintf(stderr, "this build cannot set the x87 precision control to %d bits\n", bits);
    return false;
  }
  std::printf("x87 precision control: %d bits\n", bits);
  return true;
}
