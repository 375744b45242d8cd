#include "engine/sample_conversion.h"

#include "engine/dsp_monkee.h"

void pcm16_to_float(const std::int16_t* samples, float* block, std::int32_t frames,
                    std::int32_t channels) {
  if (frames <= 0) return;
  const std::size_t count = static_cast<std::size_t>(frames) * (channels == 1 ? 1u : 2u);
  for (std::size_t k = 0; k < count; ++k) block[k] = samples[k];
}

namespace {

std::int16_t narrow_sample(float value) {
  // Inside the range the conversion to int32 is defined and truncates toward zero.
  if (value > -32768.0f && value < 32767.0f) {
    return static_cast<std::int16_t>(static_cast<std::int32_t>(value));
  }
  if (value >= 32767.0f) return 32767;
  if (value <= -32768.0f) return -32768;
  return 0;  // NaN
}

}  // namespace

void narrow_to_pcm16(const float* block, std::int16_t* samples, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) samples[k] = narrow_sample(block[k]);
}

std::int32_t limit_to_pcm16(float* block, std::int16_t* samples, std::int32_t channels,
                            std::int32_t frames) {
  if (channels <= 0) return 0;
  const std::uint32_t frame_count = frames > 0 ? static_cast<std::uint32_t>(frames) : 0u;
  const std::uint32_t produced =
      global_limiter.process(block, static_cast<std::uint32_t>(channels), frame_count);
  narrow_to_pcm16(block, samples,
                  static_cast<std::size_t>(frame_count) * static_cast<std::size_t>(channels));
  return static_cast<std::int32_t>(produced);
}
