#pragma once
// Hangs and crashes end the soak with a report instead of a silent stop.
//
// Each thread of the soak beats its heart with the step it is at; a watchdog
// thread ends the process (exit code 3) when a heart has not beaten for the
// hang limit, naming the thread and its step. An exception that nothing
// handles ends it too (exit code 4), with its code and the module it came from.
#include <atomic>
#include <chrono>
#include <cstdint>

#include "tools/os_thread.h"

class heartbeat {
 public:
  explicit heartbeat(const char* name) : name_(name) {}
  // Enters a step; the heart beats.
  void at(const char* step);
  // Stops watching (the thread is idle on purpose).
  void rest() { at(nullptr); }
  const char* name() const { return name_; }
  const char* step() const { return step_.load(); }
  // Milliseconds since the last beat, 0 while resting.
  std::int64_t silent_ms(std::int64_t now_ms) const;

 private:
  const char* name_;
  std::atomic<const char*> step_{nullptr};
  std::atomic<std::int64_t> beat_ms_{0};
};

std::int64_t soak_clock_ms();

class watchdog {
 public:
  watchdog(double hang_seconds, heartbeat* const* hearts, int heart_count);
  ~watchdog();
  watchdog(const watchdog&) = delete;
  watchdog& operator=(const watchdog&) = delete;

 private:
  void watch();

  std::int64_t hang_ms_;
  heartbeat* const* hearts_;
  int heart_count_;
  std::atomic<bool> stop_{false};
  os_thread thread_;
};

// Reports an exception that nothing handles, on any thread, then ends the process.
void install_crash_report();
