#include "plugin/module_hold.h"

#include <atomic>
#include <cstdint>

#include "platform/win32.h"

namespace {

std::atomic<std::int32_t> given_up{0};

// This DLL, found by an address inside it, without a reference of its own.
HMODULE this_module() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&given_up), &module);
  return module;
}

}  // namespace

bool hold_module() {
  HMODULE module = nullptr;
  return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(&given_up), &module) != 0;
}

void release_module_later() { given_up.fetch_add(1); }

void release_given_up_holds() {
  for (std::int32_t count = given_up.exchange(0); count > 0; --count) FreeLibrary(this_module());
}
