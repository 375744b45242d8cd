#include "tools/os_thread.h"

#include <cstdint>
#include <stdexcept>
#include <utility>

#ifdef _WIN32
#include <process.h>

namespace {

// An exception that leaves the work ends the process, as with std::thread.
void run_work(const std::function<void()>& work) noexcept { work(); }

unsigned __stdcall thread_start(void* context) {
  auto* work = static_cast<std::function<void()>*>(context);
  run_work(*work);
  delete work;
  return 0;
}

}  // namespace

os_thread::os_thread(std::function<void()> work) {
  auto* context = new std::function<void()>(std::move(work));
  // _beginthreadex rather than CreateThread: the C runtime then sets up and
  // frees its own data for the thread.
  const std::uintptr_t handle = _beginthreadex(nullptr, 0, thread_start, context, 0, nullptr);
  if (handle == 0) {
    delete context;
    throw std::runtime_error("cannot start a thread");
  }
  handle_ = reinterpret_cast<HANDLE>(handle);
}

os_thread::os_thread(os_thread&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

os_thread& os_thread::operator=(os_thread&& other) noexcept {
  if (this != &other) {
    join();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

bool os_thread::joinable() const { return handle_ != nullptr; }

void os_thread::join() {
  if (handle_ == nullptr) return;
  WaitForSingleObject(handle_, INFINITE);
  CloseHandle(handle_);
  handle_ = nullptr;
}

#else

os_thread::os_thread(std::function<void()> work) : thread_(std::move(work)) {}

os_thread::os_thread(os_thread&& other) noexcept = default;

os_thread& os_thread::operator=(os_thread&& other) noexcept {
  if (this != &other) {
    join();
    thread_ = std::move(other.thread_);
  }
  return *this;
}

bool os_thread::joinable() const { return thread_.joinable(); }

void os_thread::join() {
  if (thread_.joinable()) thread_.join();
}

#endif

os_thread::~os_thread() { join(); }
