#pragma once
// What the soak can be sure of about the plug-in's look-ahead limiter: how much
// of its 255-frame delay is filled. The limiter is built afresh when the DLL
// loads and whenever the channel count of the processed blocks changes; until
// its delay is full it writes nothing, so the first processed frames leave the
// plug-in unlimited. Every frame it does write is limited and lands at the
// start of the block.
//
// The count is a lower bound: a block that may or may not have been processed
// (the power switch changed during it) adds nothing, and one with another
// channel count forgets everything. So frames it calls limited always are.
#include <algorithm>
#include <cstdint>

class limiter_priming {
 public:
  static constexpr std::int32_t delay_frames = 255;

  // A block that was processed: how many frames at its start are limited.
  std::int32_t processed(std::int32_t channels, std::int32_t frames) {
    if (channels != channels_) {
      channels_ = channels;
      primed_ = 0;
    }
    const std::int32_t limited = std::max(0, frames - (delay_frames - primed_));
    primed_ = std::min(delay_frames, primed_ + frames);
    return limited;
  }

  // A block that may have been processed.
  void maybe_processed(std::int32_t channels) {
    if (channels != channels_) {
      channels_ = unknown_channels;
      primed_ = 0;
    }
  }

 private:
  static constexpr std::int32_t unknown_channels = -1;
  std::int32_t channels_ = 0;  // none yet: the DLL was just loaded
  std::int32_t primed_ = 0;
};
