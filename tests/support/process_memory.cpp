#include "tests/support/process_memory.h"

#include "platform/win32.h"
// After windows.h, whose types it uses.
#include <psapi.h>

process_memory current_process_memory() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  process_memory memory;
  if (!GetProcessMemoryInfo(GetCurrentProcess(),
                            reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof counters)) {
    return memory;
  }
  // Some systems leave PrivateUsage at 0 and report the same figure as the
  // page-file usage.
  memory.private_bytes = counters.PrivateUsage > counters.PagefileUsage ? counters.PrivateUsage
                                                                        : counters.PagefileUsage;
  memory.working_set = counters.WorkingSetSize;
  return memory;
}
