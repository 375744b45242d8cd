#pragma once
// Reads an impulse-response WAV file into the engine's per-channel float
// arrays, scaled by the engine's gain, and chooses the transform length.
#include <cstdint>

#include "engine/engine_state.h"

// Longest impulse kept: longer files are cut to their first frames, so that an
// impulse never outgrows the transform that holds it.
constexpr std::int32_t max_impulse_frames = 524288;

// The transform length for an impulse of `frames` frames: the smallest power of
// two strictly greater than twice the frame count, from 4 up; 2^19 for 262144
// frames or more and for none.
std::int32_t transform_length_for(std::int32_t frames);

// 1 when the impulse was read, 0 when the file did not open, its header was
// refused, or memory ran out; on 0 the engine state is unchanged. The caller
// holds the busy flag and has stored the gain.
int read_impulse_wav(const char* path, engine_record& engine);
