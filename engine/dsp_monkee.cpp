#include "engine/dsp_monkee.h"

#include <cstddef>
#include <limits>
#include <new>

#include "engine/exact_float.h"

// Constant initialisation is checked by the compiler where it can say so.
#if defined(__cpp_constinit)
#define AMBRELITH_CONSTINIT constinit
#elif defined(__clang__)
#define AMBRELITH_CONSTINIT [[clang::require_constant_initialization]]
#elif defined(__GNUC__)
#define AMBRELITH_CONSTINIT __constinit
#else
#define AMBRELITH_CONSTINIT
#endif

AMBRELITH_CONSTINIT dsp_monkee global_limiter;

namespace {

// Null when the array cannot be had. A count whose size in bytes does not fit in
// size_t (possible on 32-bit builds) makes even the nothrow new[] throw, so it
// is refused before.
limiter_channel* allocate_elements(std::uint32_t count) {
  constexpr std::size_t most = std::numeric_limits<std::size_t>::max() / sizeof(limiter_channel);
  if (static_cast<std::size_t>(count) > most) return nullptr;
  return new (std::nothrow) limiter_channel[count];
}

}  // namespace

dsp_monkee::~dsp_monkee() { delete[] elements; }

std::uint32_t dsp_monkee::process(float* block, std::uint32_t channels, std::uint32_t frames) {
  if (channels == 0) {
    frames_out = 0;
    return 0;
  }

  if (elements != nullptr && channels != element_count) {
    drain();
    delete[] elements;
    elements = nullptr;
  }
  if (elements == nullptr) {
    elements = allocate_elements(channels);
    element_count = elements != nullptr ? channels : 0;
    primed_count = 0;
    if (elements == nullptr) {
      frames_out = 0;
      return 0;
    }
  }

  // Set once for the block, so each element finds the precision it needs.
  const double_rounding_scope rounding;
  const std::uint32_t values = element_count * frames;
  std::uint32_t out = 0;
  std::uint32_t channel = 0;
  for (std::uint32_t j = 0; j < values; ++j) {
    const float y = elements[channel].process_sample(block[j]);
    if (primed_count == limiter_delay_frames) {
      block[out++] = y;
    } else if (channel == element_count - 1) {
      ++primed_count;
    }
    if (++channel == element_count) channel = 0;
  }

  frames_out = out / element_count;
  return frames_out;
}

bool dsp_monkee::drain() {
  if (primed_count == 0 || elements == nullptr) return false;
  const double_rounding_scope rounding;
  // 255 frames of silence: the frames still to prime, then the ones primed.
  for (std::uint32_t frame = 0; frame < limiter_delay_frames; ++frame) {
    for (std::uint32_t c = 0; c < element_count; ++c) elements[c].process_sample(0.0f);
  }
  primed_count = 0;
  return true;
}

bool dsp_monkee::flush() { return drain(); }
