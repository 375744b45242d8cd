#include "engine/block_convolution.h"

#include "engine/impulse_spectra.h"

namespace {

// Bin-by-bin complex product in FFTW's halfcomplex order, in place.
void multiply_halfcomplex(float* x, const float* h, std::int32_t n, std::int32_t parity) {
  const std::int32_t half = n / 2;
  const std::int32_t v = half + parity;
  x[0] = x[0] * h[0];
  for (std::int32_t j = 1; j < v; ++j) {
    const float a = x[j], b = x[n - j], c = h[j], d = h[n - j];
    x[j] = a * c - b * d;
    x[n - j] = b * c + a * d;
  }
  if (parity == 0) x[half] = x[half] * h[half];
}

// Mixes the carried tail into the output and carries this block's overflow
// into the tail.
void overlap_add(float* x, float* tail, std::int32_t n, std::int32_t length,
                 bool first_after_load) {
  const std::int32_t used = length - n;
  const bool tail_outlives_block = length > 2 * n;
  if (!first_after_load) {
    if (tail_outlives_block) {
      for (std::int32_t i = 0; i < n; ++i) x[i] += tail[i];
      for (std::int32_t i = 0; i < length - 2 * n; ++i) tail[i] = tail[i + n];
      for (std::int32_t i = length - 2 * n; i < used; ++i) tail[i] = 0.0f;
    } else {
      for (std::int32_t i = 0; i < used; ++i) x[i] += tail[i];
    }
  }
  if (tail_outlives_block) {
    for (std::int32_t i = 0; i < used; ++i) tail[i] += x[n + i];
  } else {
    for (std::int32_t i = 0; i < used; ++i) tail[i] = x[n + i];
  }
}

}  // namespace

void convolve_channels(float* const* work, std::int32_t block_frames, float* const* spectra,
                       std::int32_t spectrum_length, float* const* tails,
                       std::int32_t length_parity, std::int32_t block_index,
                       std::int32_t block_channels, std::int32_t spectrum_channels) {
  for (std::int32_t c = 0; c < block_channels; ++c) {
    const float* h = spectra[spectrum_channels == 1 ? 0 : c];
    float* x = work[c];
    real_transform(x, x, spectrum_length, transform_forward);
    multiply_halfcomplex(x, h, spectrum_length, length_parity);
    real_transform(x, x, spectrum_length, transform_inverse);
    overlap_add(x, tails[c], block_frames, spectrum_length, block_index == 0);
  }
}
