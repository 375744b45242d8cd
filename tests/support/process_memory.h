#pragma once
// This process's memory, as the system counts it (Windows builds).
#include <cstdint>

struct process_memory {
  std::uint64_t private_bytes = 0;  // committed private memory (PrivateUsage)
  std::uint64_t working_set = 0;    // resident memory
};

process_memory current_process_memory();
