#pragma once
// Allocation and release of the engine's per-channel arrays. Callers hold the
// busy flag (or run before any other thread can reach the engine).
#include <cstddef>
#include <cstdint>

#include "platform/win32.h"

// A heap array of `channels` pointers, each to a zero-filled locked memory block
// of `floats` floats, handles in `handles`. All or nothing: null on failure.
float** alloc_channel_blocks(HGLOBAL (&handles)[2], std::int32_t channels, std::size_t floats);
// Gives back what alloc_channel_blocks made (nothing when arrays is null) and
// clears the pointer and the handles.
void free_channel_blocks(float**& arrays, HGLOBAL (&handles)[2], std::int32_t channels);

struct engine_record;
void free_impulse_arrays(engine_record& engine);
void free_spectra(engine_record& engine);
void free_work_arrays(engine_record& engine);
void free_tails(engine_record& engine);
