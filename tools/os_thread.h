#pragma once
// Threads and a lock for the test and tool code. The Windows toolchain is the
// win32-thread variant, which has no std::thread and no std::mutex: its
// alternative, the posix-thread variant, links in a thread library that needs
// a newer Windows than the plug-in runs on. On Windows these are the system's
// own threads and critical sections; elsewhere std::thread and std::mutex.
#include <functional>

#ifdef _WIN32
#include "platform/win32.h"
#else
#include <mutex>
#include <thread>
#endif

// A thread that runs work from the start. Like std::thread, it is joined once;
// unlike it, a thread still running when its object goes is joined then.
class os_thread {
 public:
  os_thread() = default;
  explicit os_thread(std::function<void()> work);
  ~os_thread();
  os_thread(os_thread&& other) noexcept;
  // Joins the thread this object held before taking over other's.
  os_thread& operator=(os_thread&& other) noexcept;
  os_thread(const os_thread&) = delete;
  os_thread& operator=(const os_thread&) = delete;

  bool joinable() const;
  // Waits for the work to end; does nothing when there is no thread.
  void join();

 private:
#ifdef _WIN32
  HANDLE handle_ = nullptr;
#else
  std::thread thread_;
#endif
};

#ifdef _WIN32
// A lock for std::lock_guard: a critical section.
class os_mutex {
 public:
  os_mutex() { InitializeCriticalSection(&section_); }
  ~os_mutex() { DeleteCriticalSection(&section_); }
  os_mutex(const os_mutex&) = delete;
  os_mutex& operator=(const os_mutex&) = delete;

  void lock() { EnterCriticalSection(&section_); }
  void unlock() { LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};
#else
using os_mutex = std::mutex;
#endif
