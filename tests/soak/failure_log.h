#pragma once
// Faults the soak found, from any thread: each is counted, and the first ones
// are printed at once with what led to them.
#include <atomic>
#include <cstdint>
#include <string>

#include "tools/os_thread.h"

class failure_log {
 public:
  void add(const std::string& what);
  std::int64_t count() const { return count_.load(); }

 private:
  static constexpr std::int64_t printed_at_most = 50;
  std::atomic<std::int64_t> count_{0};
  os_mutex print_;
};
