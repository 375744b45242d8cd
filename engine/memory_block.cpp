#include "engine/memory_block.h"

float* memory_block_alloc(std::size_t floats, HGLOBAL* handle) {
  *handle = nullptr;
  if (floats > static_cast<std::size_t>(-1) / sizeof(float)) return nullptr;
  // A movable block of zero bytes comes back discarded and cannot be locked,
  // so an empty array still gets one float.
  if (floats == 0) floats = 1;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, floats * sizeof(float));
  if (block == nullptr) return nullptr;
  auto* data = static_cast<float*>(GlobalLock(block));
  if (data == nullptr) {
    GlobalFree(block);
    return nullptr;
  }
  *handle = block;
  return data;
}

void memory_block_free(HGLOBAL* handle) {
  if (*handle == nullptr) return;
  GlobalUnlock(*handle);
  GlobalFree(*handle);
  *handle = nullptr;
}
