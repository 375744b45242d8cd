#include "engine/engine_state.h"

#include <cstdlib>
#include <cstring>

#include "engine/engine_arrays.h"
#include "engine/impulse_spectra.h"
#include "engine/memory_block.h"

engine_record engine_state{};

std::int32_t block_counter = 0;
std::atomic<std::int32_t> busy{0};
std::int32_t requested_length = 0;
std::int32_t length_parity = 0;
std::int32_t tail_capacity = 0;
std::int32_t tail_reach[2] = {0, 0};

void take_busy_flag() {
  while (busy.exchange(1, std::memory_order_acquire) != 0) Sleep(1);
}

void release_busy_flag() { busy.store(0, std::memory_order_release); }

void free_channel_blocks(float**& arrays, HGLOBAL (&handles)[2], std::int32_t channels) {
  if (arrays == nullptr) return;
  for (std::int32_t c = 0; c < channels && c < 2; ++c) memory_block_free(&handles[c]);
  std::free(arrays);
  arrays = nullptr;
}

void free_impulse_arrays(engine_record& engine) {
  free_channel_blocks(engine.impulse, engine.impulse_handles, engine.impulse_channels);
}

void free_spectra(engine_record& engine) {
  free_channel_blocks(engine.spectra, engine.spectrum_handles, engine.spectrum_channels);
}

void free_work_arrays(engine_record& engine) {
  free_channel_blocks(engine.work, engine.work_handles, 2);
}

void free_tails(engine_record& engine) {
  free_channel_blocks(engine.tails, engine.tail_handles, 2);
  tail_capacity = 0;
}

float** alloc_channel_blocks(HGLOBAL (&handles)[2], std::int32_t channels, std::size_t floats) {
  auto** arrays =
      static_cast<float**>(std::calloc(static_cast<std::size_t>(channels), sizeof(float*)));
  if (arrays == nullptr) return nullptr;
  for (std::int32_t c = 0; c < channels; ++c) {
    arrays[c] = memory_block_alloc(floats, &handles[c]);
    if (arrays[c] == nullptr) {
      for (std::int32_t done = 0; done < c; ++done) memory_block_free(&handles[done]);
      std::free(arrays);
      return nullptr;
    }
  }
  return arrays;
}

int engine_init(float gain, const char* path) {
  // The dialog can load an impulse before init (config before init) or after
  // quit; clearing the record must not lose what those loads allocated.
  engine_release();
  engine_state = engine_record{};
  engine_state.impulse_gain = gain;
  block_counter = 0;
  // Without tail buffers no block can be convolved; the engine then simply
  // stays without an impulse.
  engine_state.tails = alloc_channel_blocks(engine_state.tail_handles, 2, initial_tail_floats);
  tail_capacity = engine_state.tails != nullptr ? initial_tail_floats : 0;
  if (path == nullptr || std::strlen(path) < 3 || engine_state.tails == nullptr) {
    engine_state.ready = 0;
    return -1;
  }
  return load_impulse(gain, path);
}

int engine_release() {
  // Quit may come while the playback thread is still inside a block; never
  // free arrays under it.
  take_busy_flag();
  free_impulse_arrays(engine_state);
  free_spectra(engine_state);
  free_work_arrays(engine_state);
  free_tails(engine_state);
  tail_reach[0] = tail_reach[1] = 0;
  engine_state.ready = 0;
  release_busy_flag();
  return 0;
}

int engine_transform_length() {
  return __atomic_load_n(&engine_state.transform_length, __ATOMIC_RELAXED);
}

int engine_uses_impulse(const char* path) {
  if (path == nullptr) return 0;
  take_busy_flag();
  const bool uses =
      engine_state.ready != 0 && std::strncmp(engine_state.loaded_path, path, path_capacity) == 0;
  release_busy_flag();
  return uses ? 1 : 0;
}
