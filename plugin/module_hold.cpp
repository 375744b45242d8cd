#include "plugin/module_hold.h"

#include <atomic>
#include <cstdint>

#include "platform/win32.h"

namespace {

std::atomic<std::int32_t> given_up{0};
// This DLL, as the first reference found it.
std::atomic<HMODULE> this_module{nullptr};

}  // namespace

bool hold_module() {
  HMODULE module = nullptr;
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                         reinterpret_cast<LPCSTR>(&given_up), &module) == 0) {
    return false;
  }
  this_module.store(module);
  return true;
}

void release_module_later() { given_up.fetch_add(1); }

void release_given_up_holds() {
  for (std::int32_t count = given_up.exchange(0); count > 0; --count) {
    FreeLibrary(this_module.load());
  }
}
