#pragma once
// One channel of the look-ahead peak limiter. It delays its channel by 255
// samples and, while any of the 256 samples it holds is louder than the
// ceiling, steers its gain toward the ceiling divided by the loudest of them, so
// that the delayed sample leaves at or below the ceiling.
#include <cstdint>

// The loudest a limited sample may leave, in the 16-bit sample scale.
constexpr float limiter_ceiling = 0x1.f3f332p+14f;  // 31996.798828125, bits 0x46F9F999
// Gain the channel settles on while nothing is too loud: the single nearest 0.9999.
constexpr float idle_target = 0x1.fff2e4p-1f;  // bits 0x3F7FF972
// Smoothing of the target: keep 0.9 of the old, take 0.1 of the new (singles).
constexpr float smoothing_keep = 0x1.ccccccp-1f;  // bits 0x3F666666
constexpr float smoothing_take = 0x1.99999ap-4f;  // bits 0x3DCCCCCD
// Recovery of the gain: keep 0.999 of it and add 0.001 (singles).
constexpr float recovery_keep = 0x1.ff7ceep-1f;   // bits 0x3F7FBE77
constexpr float recovery_step = 0x1.0624dep-10f;  // bits 0x3A83126F

constexpr int limiter_ring_size = 256;  // holds the delay of 255 samples and the one entering
constexpr int limiter_tree_size = 510;  // 256 leaves, then 128, 64, ..., 2 pairwise maxima

class limiter_channel {
 public:
  limiter_channel();

  // Takes one sample and returns the sample taken 255 calls earlier times the
  // gain as updated in this call. The ring starts as zeros, so the first 255
  // calls return zeros.
  float process_sample(float x);

  std::int32_t write_position;          // ring slot and tree leaf of the next sample, 0..255
  float delay_ring[limiter_ring_size];  // the samples themselves, sign kept
  // Magnitudes of the ring's samples (the leaves), then each level of pairwise
  // maxima up to the two entries below the top. Valid only while active.
  float max_tree[limiter_tree_size];
  float channel_gain;
  float smoothed_target;  // upper bound of channel_gain
  std::uint8_t active;    // 1 while some sample in the window exceeds the ceiling
};
