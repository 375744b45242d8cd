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

int fail_load() {
  engine_state.ready = 0;
  release_busy_flag();
  return -1;
}

}  // namespace

int load_impulse(float gain, const char* path) {
  take_busy_flag();
  engine_state.impulse_gain = gain;
  engine_state.ready = 0;
  if (path == nullptr || std::strlen(path) < 3) return fail_load();
  if (read_impulse_wav(path, engine_state) == 0) return fail_load();

  const std::int32_t length = engine_state.transform_length;
  const std::int32_t channels = engine_state.impulse_channels;
  HGLOBAL handles[2] = {nullptr, nullptr};
  float** spectra = alloc_channel_blocks(handles, channels, static_cast<std::size_t>(length));
  if (spectra == nullptr) return fail_load();

  // The reader never leaves an impulse longer than its transform length.
  const std::int32_t frames = engine_state.impulse_frames;
  for (std::int32_t c = 0; c < channels; ++c) {
    float* spectrum = spectra[c];
    std::memcpy(spectrum, engine_state.impulse[c],
                sizeof(float) * static_cast<std::size_t>(frames));
    // The inverse transform is unnormalised; folding 1/N in here spares every
    // block a scaling pass.
    const float divisor = static_cast<float>(length);
    for (std::int32_t j = 0; j < length; ++j) spectrum[j] /= divisor;
    real_transform(spectrum, spectrum, length, transform_forward);
  }

  free_spectra(engine_state);
  engine_state.spectra = spectra;
  engine_state.spectrum_handles[0] = handles[0];
  engine_state.spectrum_handles[1] = handles[1];
  engine_state.spectrum_channels = channels;
  engine_state.spectrum_length = length;
  block_counter = 0;
  length_parity = length % 2;
  engine_state.ready = 1;
  release_busy_flag();
  return 0;
}
