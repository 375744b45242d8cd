#include "tests/soak/failure_log.h"

#include <cstdio>
#include <mutex>

void failure_log::add(const std::string& what) {
  const std::int64_t number = ++count_;
  if (number > printed_at_most) return;
  std::lock_guard<os_mutex> lock(print_);
  std::fprintf(stderr, "soak: FAILURE %lld: %s\n", static_cast<long long>(number), what.c_str());
  if (number == printed_at_most) std::fprintf(stderr, "soak: (further failures only counted)\n");
  std::fflush(stderr);
}
