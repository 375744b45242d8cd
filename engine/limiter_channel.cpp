#include "engine/limiter_channel.h"

#include <cmath>

#include "engine/exact_float.h"

limiter_channel::limiter_channel()
    : write_position(0),
      delay_ring{},
      max_tree{},
      channel_gain(1.0f),
      smoothed_target(1.0f),
      active(0) {}

namespace {

// Writes the magnitude into its leaf and walks up to the top, refreshing each
// pairwise maximum on the way. Returns the largest magnitude in the window. A
// tie or a NaN on either side takes the sibling's value.
float update_max_tree(float* tree, std::int32_t leaf, float magnitude) {
  float m = magnitude;
  std::uint32_t i = static_cast<std::uint32_t>(leaf);
  float* level = tree;
  for (std::uint32_t entries = limiter_ring_size; entries >= 2; entries /= 2) {
    level[i] = m;
    const float sibling = level[i ^ 1];
    if (!(m > sibling)) m = sibling;
    i >>= 1;
    level += entries;
  }
  return m;
}

}  // namespace

float limiter_channel::process_sample(float x) {
  const double_rounding_scope rounding;
  const float magnitude = std::fabs(x);

  if (magnitude > limiter_ceiling) {
    // A fresh window: what the tree held from an earlier loud stretch is stale.
    if (active == 0) {
      for (float& entry : max_tree) entry = 0.0f;
    }
    active = 1;
  }

  float window_max = 0.0f;
  if (active != 0) {
    window_max = update_max_tree(max_tree, write_position, magnitude);
    if (window_max <= limiter_ceiling) active = 0;
  }

  delay_ring[write_position] = x;
  write_position = (write_position + 1) & (limiter_ring_size - 1);
  const float delayed = delay_ring[write_position];

  const float target = active != 0 ? stored_float(limiter_ceiling / window_max) : idle_target;
  // Both products are exact in double; the sum is rounded to double, then to single.
  smoothed_target = rounded_to_float(static_cast<double>(smoothed_target) * smoothing_keep +
                                     static_cast<double>(target) * smoothing_take);

  // The gain falls to the smoothed target at once but rises only by the recovery.
  const float recovered = rounded_to_float(static_cast<double>(channel_gain) * recovery_keep +
                                           static_cast<double>(recovery_step));
  channel_gain = recovered > smoothed_target ? smoothed_target : recovered;

  float y = stored_float(delayed * channel_gain);
  if (std::fabs(y) > limiter_ceiling) {
    // The smoothing has not quite reached the target: pin this sample to the
    // ceiling and keep the gain that does it.
    channel_gain = stored_float(limiter_ceiling / std::fabs(delayed));
    y = stored_float(delayed * channel_gain);
  }
  return y;
}
