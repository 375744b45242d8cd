#include "engine/block_processing.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/block_convolution.h"
#include "engine/engine_arrays.h"
#include "engine/engine_state.h"
#include "engine/impulse_spectra.h"
#include "engine/memory_block.h"

namespace {

// The shortest length, doubling from the current one, at which a block of n
// frames is convolved linearly: it must hold the block and the block's whole
// convolution with the impulse (n + L - 1 values), or nothing wraps around.
std::int64_t length_needed(std::int64_t n, std::int64_t impulse_frames, std::int64_t length) {
  while (n > length || n + impulse_frames - 1 > length) length *= 2;
  return length;
}

bool block_fits(int frames) {
  return length_needed(frames, engine_state.impulse_frames, engine_state.spectrum_length) ==
         engine_state.spectrum_length;
}

// Tails start at 2^17 + 1024 floats; long impulses need more. Contents are
// kept, the new room is zero. All or nothing. Init may have run out of memory
// for the tails while a later load readied the engine: they are made here then.
bool ensure_tail_capacity(std::int32_t floats) {
  if (engine_state.tails != nullptr && floats <= tail_capacity) return true;
  const std::int32_t capacity = std::max(floats, initial_tail_floats);
  HGLOBAL handles[2] = {nullptr, nullptr};
  float** grown = alloc_channel_blocks(handles, 2, static_cast<std::size_t>(capacity));
  if (grown == nullptr) return false;
  if (engine_state.tails != nullptr) {
    for (int c = 0; c < 2; ++c)
      std::memcpy(grown[c], engine_state.tails[c],
                  sizeof(float) * static_cast<std::size_t>(tail_capacity));
  }
  free_tails(engine_state);
  engine_state.tails = grown;
  engine_state.tail_handles[0] = handles[0];
  engine_state.tail_handles[1] = handles[1];
  tail_capacity = capacity;
  return true;
}

// Grows the transform length for a block that does not fit: doubles as often as
// needed, then reloads the impulse once. Called and returns with the flag held;
// false when the block must pass unconvolved.
bool grow_for_block(int frames) {
  std::int64_t needed =
      length_needed(frames, engine_state.impulse_frames, engine_state.spectrum_length);
  if (needed > max_transform_length) return false;
  requested_length = static_cast<std::int32_t>(needed);
  const float gain = engine_state.impulse_gain;
  release_busy_flag();
  // The reader copies the path under the flag before it writes the field.
  int loaded = load_impulse(gain, engine_state.loaded_path);
  take_busy_flag();
  // A load from the dialog may have come in between and chosen another length.
  return loaded == 0 && engine_state.ready != 0 && block_fits(frames);
}

}  // namespace

int split_channels(const float* block, float* first, float* second, int frames, int channels) {
  if (channels == 1) {
    for (int i = 0; i < frames; ++i) first[i] = static_cast<float>(block[i] / 32767.0);
  } else {
    for (int i = 0; i < frames; ++i) {
      first[i] = static_cast<float>(block[2 * i] / 32767.0);
      second[i] = static_cast<float>(block[2 * i + 1] / 32767.0);
    }
  }
  return 1;
}

int merge_channels(const float* first, const float* second, float* block, int frames,
                   int channels) {
  if (channels == 1) {
    for (int i = 0; i < frames; ++i) block[i] = static_cast<float>(first[i] * 32767.0);
  } else {
    for (int i = 0; i < frames; ++i) {
      block[2 * i] = static_cast<float>(first[i] * 32767.0);
      block[2 * i + 1] = static_cast<float>(second[i] * 32767.0);
    }
  }
  return 1;
}

int engine_process(float* block, int frames, int bits_per_sample, int channels) {
  if (bits_per_sample != 16) return frames;
  // The engine has work and tail buffers for two channels; wider blocks pass.
  if (channels != 1 && channels != 2) return frames;
  if (frames < 0) return frames;

  take_busy_flag();
  if (engine_state.ready == 0 || (!block_fits(frames) && !grow_for_block(frames)) ||
      !ensure_tail_capacity(engine_state.spectrum_length - frames)) {
    release_busy_flag();
    return frames;
  }

  engine_state.block_channels = channels;
  const std::int32_t length = engine_state.spectrum_length;
  engine_state.work =
      alloc_channel_blocks(engine_state.work_handles, 2, static_cast<std::size_t>(length));
  if (engine_state.work == nullptr) {
    release_busy_flag();
    return frames;
  }
  float** work = engine_state.work;
  split_channels(block, work[0], work[1], frames, channels);
  const std::int32_t block_index = block_counter++;
  convolve_channels(work, frames, engine_state.spectra, length, engine_state.tails, length_parity,
                    block_index, engine_state.block_channels, engine_state.spectrum_channels);
  merge_channels(work[0], work[1], block, frames, channels);

  // The work arrays leave the record under the flag, so that a release racing
  // in after it can never free them a second time.
  engine_record detached{};
  detached.work = engine_state.work;
  detached.work_handles[0] = engine_state.work_handles[0];
  detached.work_handles[1] = engine_state.work_handles[1];
  engine_state.work = nullptr;
  engine_state.work_handles[0] = engine_state.work_handles[1] = nullptr;
  release_busy_flag();
  free_work_arrays(detached);
  return frames;
}
