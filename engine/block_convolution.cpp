#include "engine/block_convolution.h"

#include <algorithm>

#include "engine/impulse_spectra.h"

namespace {

// Bin-by-bin complex product in FFTW's halfcomplex order, in place.
void multiply_halfcomplex(float* x, const float* h, std::int32_t n, std::int32_t parity) {
  const std::int32_t half = n / 2;
  const std::int32_t v = half + parity;
  x[0] = x[0] * h[0];
  // Real parts run up from the front, imaginary parts down from the back; the
  // two halves never overlap, which lets the compiler vectorise the loop.
  float* __restrict real = x;
  float* __restrict imaginary = x + n;
  const float* __restrict h_real = h;
  const float* __restrict h_imaginary = h + n;
  for (std::int32_t j = 1; j < v; ++j) {
    const float a = real[j], b = imaginary[-j], c = h_real[j], d = h_imaginary[-j];
    real[j] = a * c - b * d;
    imaginary[-j] = b * c + a * d;
  }
  if (parity == 0) x[half] = x[half] * h[half];
}

// Mixes the carried tail into the output and carries this block's overflow
// into the tail. With a tail that outlives the block, the shift down by n, the
// clearing of the freed end and the accumulation run as one pass: each element
// gets (old T[i + n], or 0 past the shifted part) + X[n + i], the same sums in
// the same order as three separate passes would give.
void overlap_add(float* __restrict x, float* __restrict tail, std::int32_t n, std::int32_t length,
                 bool first_block) {
  const std::int32_t used = length - n;
  const float* __restrict overflow = x + n;
  if (length > 2 * n) {
    if (first_block) {
      for (std::int32_t i = 0; i < used; ++i) tail[i] += overflow[i];
      return;
    }
    for (std::int32_t i = 0; i < n; ++i) x[i] += tail[i];
    const std::int32_t shifted = length - 2 * n;
    for (std::int32_t i = 0; i < shifted; ++i) tail[i] = tail[i + n] + overflow[i];
    for (std::int32_t i = shifted; i < used; ++i) tail[i] = 0.0f + overflow[i];
  } else {
    if (!first_block) {
      for (std::int32_t i = 0; i < used; ++i) x[i] += tail[i];
    }
    for (std::int32_t i = 0; i < used; ++i) tail[i] = overflow[i];
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

std::int32_t ring_out_tail(float* __restrict work, float* __restrict tail,
                           std::int32_t block_frames, std::int32_t used, std::int32_t reach) {
  const std::int32_t n = block_frames;
  if (reach <= used) return used;
  // convolve_channels mixed in the first min(n, used) tail values.
  for (std::int32_t i = used; i < std::min(n, reach); ++i) work[i] += tail[i];
  // Ascending, every place is read before anything lands on it: below `used`
  // the old tail joins this block's overflow, above it the old tail moves alone.
  for (std::int32_t from = std::max(used, n); from < reach; ++from) {
    if (from - n < used) {
      tail[from - n] += tail[from];
    } else {
      tail[from - n] = tail[from];
    }
  }
  const std::int32_t reach_after = std::max(reach - n, used);
  std::fill(tail + reach_after, tail + reach, 0.0f);
  return reach_after;
}
