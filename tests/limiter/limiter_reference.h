#pragma once
// What the block limiter must produce, built the plain way: one limiter_channel
// per channel, fed value by value, its first 255 frames of output dropped.
#include <cstddef>
#include <vector>

#include "engine/exact_float.h"
#include "engine/limiter_channel.h"

inline float stored_gain_product(float sample, float gain) { return stored_float(sample * gain); }

class interleaved_reference {
 public:
  explicit interleaved_reference(std::size_t channels) : channels_(channels), elements_(channels) {}

  // Feeds whole frames and returns the values output for them, interleaved.
  std::vector<float> process(const std::vector<float>& values) {
    std::vector<float> out;
    gains_.clear();
    for (std::size_t j = 0; j < values.size(); ++j) {
      const std::size_t c = j % channels_;
      const float y = elements_[c].process_sample(values[j]);
      if (consumed_frames_ >= 255) {
        out.push_back(y);
        gains_.push_back(elements_[c].channel_gain);
      }
      if (c == channels_ - 1) ++consumed_frames_;
    }
    return out;
  }

  // The channel's gain right after it produced output frame `frame` of the
  // latest call.
  float gain_after(std::size_t frame, std::size_t channel) const {
    return gains_[frame * channels_ + channel];
  }

 private:
  std::size_t channels_;
  std::vector<limiter_channel> elements_;
  std::vector<float> gains_;
  std::size_t consumed_frames_ = 0;
};
