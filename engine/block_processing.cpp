#include "engine/block_processing.h"

#include <algorithm>
#include <atomic>
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
// needed and reloads the impulse once, all under the flag the caller holds, so
// that no load from the dialog and no release can slip in between and be
// undone by the reload. Like every load, a growth keeps the stream going: the
// growing block mixes the carried tail at its place. False when the block must
// pass unconvolved.
bool grow_for_block(int frames) {
  std::int64_t needed =
      length_needed(frames, engine_state.impulse_frames, engine_state.spectrum_length);
  if (needed > max_transform_length) return false;
  requested_length = static_cast<std::int32_t>(needed);
  if (load_impulse_held(engine_state.impulse_gain, engine_state.loaded_path) != 0) return false;
  return block_fits(frames);
}

// A channel's tail keeps nothing after a pause of the stream, and nothing for a
// channel the block does not carry (the second, in a mono block): stereo coming
// back after a mono stretch must not bring back its old tail. After a release
// there are no tails, and nothing reaches into them.
void forget_tail(int c) {
  if (tail_reach[c] == 0) return;
  std::fill(engine_state.tails[c], engine_state.tails[c] + tail_reach[c], 0.0f);
  tail_reach[c] = 0;
}

// After a convolved block each carried tail reaches at least as far as the
// block's own overflow, and further while the reverb from before a switch to a
// shorter transform rings out. Everything past the reach is zero, so a later
// longer transform or shorter block never reads old audio from there.
void settle_tails(float* const* work, int frames, std::int32_t used, int channels) {
  for (int c = 0; c < 2; ++c) {
    if (c < channels) {
      tail_reach[c] = ring_out_tail(work[c], engine_state.tails[c], frames, used, tail_reach[c]);
    } else {
      forget_tail(c);
    }
  }
}

// Counts blocks since init; it stops at the largest count instead of
// overflowing, since only init may bring it back to 0.
std::int32_t next_block_index() {
  const std::int32_t index = block_counter;
  if (block_counter < INT32_MAX) ++block_counter;
  return index;
}

// Set when a non-empty block of the stream went by unconvolved, here or
// outside the engine. The stream has then moved on: what the tails hold is the
// reverb of audio long gone, however long the pause was, and the next block the
// engine sees drops it before anything else.
std::atomic<std::int32_t> stream_gap{0};

// A block the engine lets pass as it came.
int pass_unconvolved(int frames) {
  engine_skip_block(frames);
  release_busy_flag();
  return frames;
}

}  // namespace

// An empty block carries no audio and moves nothing.
void engine_skip_block(int frames) {
  if (frames > 0) stream_gap.store(1);
}

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
  // No audio: nothing went by, so the stream and its reverb go on.
  if (frames < 0 || (block == nullptr && frames != 0)) return frames;
  // The engine has work and tail buffers for 16-bit blocks of up to two
  // channels. Anything else passes as it came, and the stream moves on without
  // the engine, as with the power off.
  if (bits_per_sample != 16 || (channels != 1 && channels != 2)) {
    engine_skip_block(frames);
    return frames;
  }

  take_busy_flag();
  if (stream_gap.exchange(0) != 0) {
    forget_tail(0);
    forget_tail(1);
  }
  if (engine_state.ready == 0 || (!block_fits(frames) && !grow_for_block(frames)) ||
      !ensure_tail_capacity(engine_state.spectrum_length - frames)) {
    return pass_unconvolved(frames);
  }

  engine_state.block_channels = channels;
  const std::int32_t length = engine_state.spectrum_length;
  engine_state.work =
      alloc_channel_blocks(engine_state.work_handles, 2, static_cast<std::size_t>(length));
  if (engine_state.work == nullptr) return pass_unconvolved(frames);
  float** work = engine_state.work;
  split_channels(block, work[0], work[1], frames, channels);
  convolve_channels(work, frames, engine_state.spectra, length, engine_state.tails, length_parity,
                    next_block_index(), engine_state.block_channels,
                    engine_state.spectrum_channels);
  // An empty block keeps every tail, whatever its channel count.
  if (frames > 0) settle_tails(work, frames, length - frames, channels);
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
