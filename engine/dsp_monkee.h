#pragma once
// The look-ahead peak limiter: one limiter_channel per channel of an interleaved
// float block, each delaying its channel by 255 frames.
#include <cstdint>

#include "engine/limiter_channel.h"

// Frames consumed after a build or a drain before the first frame comes out.
constexpr std::uint32_t limiter_delay_frames = 255;

class dsp_monkee {
 public:
  // Nothing runs to build the object: it starts with no elements.
  constexpr dsp_monkee() noexcept
      : elements(nullptr), element_count(0), frames_out(0), primed_count(0) {}
  ~dsp_monkee();
  dsp_monkee(const dsp_monkee&) = delete;
  dsp_monkee& operator=(const dsp_monkee&) = delete;

  // Limits channels x frames interleaved floats in place and returns the number
  // of frames output, which are compacted to the front of the block. While the
  // elements prime, the rest of the block is left as it came. A new channel
  // count drains the old elements and builds new ones. A channel count of 0, or
  // elements that cannot be allocated, return 0 and leave the block untouched.
  std::uint32_t process(float* block, std::uint32_t channels, std::uint32_t frames);
  // Pushes 255 frames of silence through the elements and starts priming again.
  // False, doing nothing, when nothing has been primed.
  bool drain();
  // The class's one overridable operation: drains.
  virtual bool flush();

  limiter_channel* elements;    // one per channel, null while none are built
  std::uint32_t element_count;  // the channel count the elements were built for
  std::uint32_t frames_out;     // the result of the most recent process call
  std::uint32_t primed_count;   // complete frames consumed since the build or drain, up to 255
};

// The one limiter every processed block goes through; its destructor runs when
// the library unloads.
extern dsp_monkee global_limiter;
