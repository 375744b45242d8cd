#pragma once
// Large float arrays live in movable, zero-filled global memory blocks that stay
// locked for their whole life; the handle is kept beside the pointer.
#include <cstddef>

#include "platform/win32.h"

// Allocates and locks a zero-filled block of `floats` floats. On failure returns
// null and leaves *handle null.
float* memory_block_alloc(std::size_t floats, HGLOBAL* handle);
// Unlocks and frees the block, and clears the handle. A null handle is ignored.
void memory_block_free(HGLOBAL* handle);
