#include "tests/soak/watchdog.h"

#include <cstdio>

#include "platform/win32.h"

namespace {

constexpr int exit_hang = 3;
constexpr int exit_crash = 4;

LONG WINAPI report_crash(EXCEPTION_POINTERS* exception) {
  const EXCEPTION_RECORD* record = exception->ExceptionRecord;
  char module[MAX_PATH] = "(unknown module)";
  HMODULE owner = nullptr;
  if (GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCSTR>(record->ExceptionAddress), &owner)) {
    GetModuleFileNameA(owner, module, sizeof module);
  }
  std::fprintf(stderr, "soak: CRASH: exception 0x%08lx at %p in %s (thread %lu)\n",
               static_cast<unsigned long>(record->ExceptionCode), record->ExceptionAddress, module,
               static_cast<unsigned long>(GetCurrentThreadId()));
  std::fflush(stderr);
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), exit_crash);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

std::int64_t soak_clock_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void heartbeat::at(const char* step) {
  beat_ms_.store(soak_clock_ms());
  step_.store(step);
}

std::int64_t heartbeat::silent_ms(std::int64_t now_ms) const {
  if (step_.load() == nullptr) return 0;
  return now_ms - beat_ms_.load();
}

watchdog::watchdog(double hang_seconds, heartbeat* const* hearts, int heart_count)
    : hang_ms_(static_cast<std::int64_t>(hang_seconds * 1000)),
      hearts_(hearts),
      heart_count_(heart_count),
      thread_([this] { watch(); }) {}

watchdog::~watchdog() {
  stop_.store(true);
  thread_.join();
}

void watchdog::watch() {
  while (!stop_.load()) {
    Sleep(250);
    const std::int64_t now = soak_clock_ms();
    for (int i = 0; i < heart_count_; ++i) {
      const heartbeat& heart = *hearts_[i];
      const std::int64_t silent = heart.silent_ms(now);
      if (silent < hang_ms_) continue;
      const char* step = heart.step();
      std::fprintf(stderr, "soak: HANG: the %s thread has been at \"%s\" for %.1f s\n",
                   heart.name(), step != nullptr ? step : "?", static_cast<double>(silent) / 1000);
      for (int j = 0; j < heart_count_; ++j) {
        const char* other = hearts_[j]->step();
        std::fprintf(stderr, "soak:   %s thread: \"%s\", silent %.1f s\n", hearts_[j]->name(),
                     other != nullptr ? other : "resting",
                     static_cast<double>(hearts_[j]->silent_ms(now)) / 1000);
      }
      std::fflush(stderr);
      std::fflush(stdout);
      TerminateProcess(GetCurrentProcess(), exit_hang);
    }
  }
}

void install_crash_report() { SetUnhandledExceptionFilter(report_crash); }
