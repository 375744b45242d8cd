#pragma once
// Reads an impulse-response WAV file into per-channel float arrays, scaled by
// a gain, and chooses the transform length.
#include <cstdint>

#include "engine/engine_state.h"

// Longest impulse kept: longer files are cut to their first frames, so that an
// impulse never outgrows the transform that holds it.
constexpr std::int32_t max_impulse_frames = 524288;

// The transform length for an impulse of `frames` frames: the smallest power of
// two strictly greater than twice the frame count, from 4 up; 2^19 for 262144
// frames or more and for none.
std::int32_t transform_length_for(std::int32_t frames);
// The length a read of `frames` frames takes: a pending request is a minimum,
// and the impulse's own length wins when longer.
std::int32_t chosen_transform_length(std::int32_t frames);

// An impulse read from its file that does not belong to the engine yet, so
// that a load can fail at any later step without touching the engine's own.
struct impulse_samples {
  HGLOBAL handles[2];
  float** channels;  // channel_count arrays of `frames` floats, gain applied
  std::int32_t channel_count;
  std::int32_t frames;
};

// 1 when the impulse at path was read; 0 when the file did not open, its header
// was refused (not 16 or 32 bits, not 1 or 2 channels, no whole frame) or
// memory ran out, and then nothing is left allocated.
int read_impulse_wav(const char* path, float gain, impulse_samples* samples);
void free_impulse_samples(impulse_samples& samples);
// Hands the samples to the engine in place of its previous impulse, with their
// path and transform length; takes up the pending request. `path` may be the
// engine's own loaded_path.
void adopt_impulse(engine_record& engine, impulse_samples& samples, const char* path,
                   std::int32_t length);
