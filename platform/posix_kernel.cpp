#include "posix_kernel.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <thread>

namespace {

// A movable block: the header is the handle, the data follows it.
struct memory_block_header {
  SIZE_T bytes;
  int lock_count;
};

constexpr SIZE_T data_offset = (sizeof(memory_block_header) + 15) / 16 * 16;

std::atomic<long> live_blocks{0};
std::atomic<long> allocations_until_failure{-1};

std::mutex module_file_name_mutex;
bool module_file_name_set = false;
std::string module_file_name;

unsigned char* block_data(HGLOBAL block) {
  return static_cast<unsigned char*>(block) + data_offset;
}

// Handles are file descriptors shifted by one, so that descriptor 0 is not a
// null handle.
int descriptor_of(HANDLE file) {
  return static_cast<int>(reinterpret_cast<std::intptr_t>(file)) - 1;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
  long budget = allocations_until_failure.load();
  while (budget >= 0) {
    if (budget == 0) return nullptr;
    if (allocations_until_failure.compare_exchange_weak(budget, budget - 1)) break;
  }
  if (bytes > SIZE_T(-1) - data_offset) return nullptr;
  void* raw = (flags & GMEM_ZEROINIT) ? std::calloc(1, data_offset + bytes)
                                      : std::malloc(data_offset + bytes);
  if (raw == nullptr) return nullptr;
  auto* header = static_cast<memory_block_header*>(raw);
  header->bytes = bytes;
  header->lock_count = 0;
  ++live_blocks;
  return raw;
}

LPVOID GlobalLock(HGLOBAL block) {
  if (block == nullptr) return nullptr;
  ++static_cast<memory_block_header*>(block)->lock_count;
  return block_data(block);
}

BOOL GlobalUnlock(HGLOBAL block) {
  if (block == nullptr) return FALSE;
  auto* header = static_cast<memory_block_header*>(block);
  if (header->lock_count > 0) --header->lock_count;
  return header->lock_count > 0 ? TRUE : FALSE;
}

HGLOBAL GlobalFree(HGLOBAL block) {
  if (block == nullptr) return nullptr;
  std::free(block);
  --live_blocks;
  return nullptr;
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD, HANDLE) {
  // Only what the engine asks for: open an existing file for reading.
  if (path == nullptr || access != GENERIC_READ || disposition != OPEN_EXISTING)
    return INVALID_HANDLE_VALUE;
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return INVALID_HANDLE_VALUE;
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd) + 1);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytes_to_read, LPDWORD bytes_read, LPOVERLAPPED) {
  // Like the real call: at the end of the file it succeeds with fewer bytes.
  DWORD total = 0;
  BOOL ok = TRUE;
  auto* out = static_cast<unsigned char*>(buffer);
  while (total < bytes_to_read) {
    ssize_t got = ::read(descriptor_of(file), out + total, bytes_to_read - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ok = FALSE;
    if (got <= 0) break;
    total += static_cast<DWORD>(got);
  }
  if (bytes_read != nullptr) *bytes_read = total;
  return ok;
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD method) {
  if (method != FILE_BEGIN || distance < 0 || (distance_high != nullptr && *distance_high != 0))
    return INVALID_SET_FILE_POINTER;
  const off_t position = ::lseek(descriptor_of(file), distance, SEEK_SET);
  return position < 0 ? INVALID_SET_FILE_POINTER : static_cast<DWORD>(position);
}

BOOL CloseHandle(HANDLE file) { return ::close(descriptor_of(file)) == 0 ? TRUE : FALSE; }

void Sleep(DWORD milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD GetModuleFileNameA(HMODULE, char* buffer, DWORD size) {
  std::string path;
  {
    std::lock_guard<std::mutex> lock(module_file_name_mutex);
    path = module_file_name;
    if (!module_file_name_set) {
      char own[4096];
      ssize_t length = ::readlink("/proc/self/exe", own, sizeof own);
      path.assign(own, length > 0 ? static_cast<std::size_t>(length) : 0);
    }
  }
  if (buffer == nullptr || size == 0) return 0;
  const std::size_t kept = std::min<std::size_t>(path.size(), size - 1);
  std::memcpy(buffer, path.data(), kept);
  buffer[kept] = '\0';
  return path.size() < size ? static_cast<DWORD>(path.size()) : size;
}

long platform_live_memory_blocks() { return live_blocks.load(); }

void platform_fail_global_alloc_after(long successes) {
  allocations_until_failure.store(successes < 0 ? -1 : successes);
}

void platform_set_module_file_name(const char* path) {
  std::lock_guard<std::mutex> lock(module_file_name_mutex);
  module_file_name_set = path != nullptr;
  module_file_name = path != nullptr ? path : "";
}
