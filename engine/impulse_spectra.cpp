#include "engine/impulse_spectra.h"

#include <fftw3.h>

#include <cstring>

#include "engine/engine_arrays.h"
#include "engine/engine_state.h"
#include "engine/impulse_reader.h"

void real_transform(float* source, float* destination, std::int32_t n, std::uint8_t kind) {
  fftwf_plan plan =
      fftwf_plan_r2r_1d(n, source, destination, static_cast<fftwf_r2r_kind>(kind), FFTW_ESTIMATE);
  if (plan == nullptr) return;
  fftwf_execute(plan);
  fftwf_destroy_plan(plan);
}

namespace {

// One spectrum per impulse channel at `length` points, or null when memory
// runs out. The impulse is never longer than the length (the reader's rule).
float** build_spectra(const impulse_samples& impulse, std::int32_t length, HGLOBAL (&handles)[2]) {
  float** spectra =
      alloc_channel_blocks(handles, impulse.channel_count, static_cast<std::size_t>(length));
  if (spectra == nullptr) return nullptr;
  for (std::int32_t c = 0; c < impulse.channel_count; ++c) {
    float* spectrum = spectra[c];
    std::memcpy(spectrum, impulse.channels[c],
                sizeof(float) * static_cast<std::size_t>(impulse.frames));
    // The inverse transform is unnormalised; folding 1/N in here spares every
    // block a scaling pass.
    const float divisor = static_cast<float>(length);
    for (std::int32_t j = 0; j < length; ++j) spectrum[j] /= divisor;
    real_transform(spectrum, spectrum, length, transform_forward);
  }
  return spectra;
}

}  // namespace

int load_impulse_held(float gain, const char* path) {
  engine_state.impulse_gain = gain;
  engine_state.ready = 0;
  if (path == nullptr || std::strlen(path) < 3) return -1;

  // Everything new is made aside first, so that a failure at any step leaves
  // the engine's impulse, path, length and spectra as they were.
  impulse_samples impulse{};
  if (read_impulse_wav(path, gain, &impulse) == 0) return -1;
  const std::int32_t length = chosen_transform_length(impulse.frames);
  HGLOBAL handles[2] = {nullptr, nullptr};
  float** spectra = build_spectra(impulse, length, handles);
  if (spectra == nullptr) {
    free_impulse_samples(impulse);
    return -1;
  }

  adopt_impulse(engine_state, impulse, path, length);
  free_spectra(engine_state);
  engine_state.spectra = spectra;
  engine_state.spectrum_handles[0] = handles[0];
  engine_state.spectrum_handles[1] = handles[1];
  engine_state.spectrum_channels = engine_state.impulse_channels;
  engine_state.spectrum_length = length;
  // The block count is left alone: the stream goes on through a new gain or
  // impulse, and the next block mixes the carried tail at its place. A gain
  // drag reloads on every step, and starting over at each would drop the
  // reverb while it lasts and pile the tail up for a burst afterwards.
  length_parity = length % 2;
  engine_state.ready = 1;
  return 0;
}

int load_impulse(float gain, const char* path) {
  take_busy_flag();
  const int result = load_impulse_held(gain, path);
  release_busy_flag();
  return result;
}
