// GoogleTest's own place for a build's port settings, found by the Windows
// builds before the stock one (see cmake/googletest.cmake).
//
// This GoogleTest builds its Notification on std::mutex and
// std::condition_variable, which the toolchain's win32-thread variant lacks.
// Only GoogleTest's own thread helper (ThreadWithParam) waits on one, and no
// test here uses it; this one waits on an atomic flag instead. Everything else
// in GoogleTest keeps its Windows locks and thread-local storage.
#ifndef AMBRELITH_GTEST_CUSTOM_PORT_H
#define AMBRELITH_GTEST_CUSTOM_PORT_H

#include <atomic>
#include <chrono>
#include <thread>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { notified_.store(true); }
  void WaitForNotification() {
    while (!notified_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

 private:
  std::atomic<bool> notified_{false};
};

}  // namespace internal
}  // namespace testing

#endif  // AMBRELITH_GTEST_CUSTOM_PORT_H
