// The transform routine and the spectra a load builds.
#include <cmath>

#include "tests/support/engine_fixture.h"

namespace {

TEST(real_transform, forward_then_inverse_scales_by_the_length) {
  float unit[4] = {1, 0, 0, 0};
  real_transform(unit, unit, 4, transform_forward);
  EXPECT_EQ(unit[0], 1.0f);
  EXPECT_EQ(unit[1], 1.0f);
  EXPECT_EQ(unit[2], 1.0f);
  EXPECT_EQ(unit[3], 0.0f);

  std::vector<float> x = noise(64, 1);
  std::vector<float> y = x;
  real_transform(y.data(), y.data(), 64, transform_forward);
  real_transform(y.data(), y.data(), 64, transform_inverse);
  for (int i = 0; i < 64; ++i) EXPECT_NEAR(y[i], 64 * x[i], 1e-4) << i;
}

using spectra_test = engine_test;

TEST_F(spectra_test, a_one_frame_impulse_gives_a_flat_spectrum_of_four) {
  std::string path = make_file("one.wav", float32_wav(1, {0.5f}));
  ASSERT_EQ(engine_init(2.0f, path.c_str()), 0);
  EXPECT_EQ(engine_state.ready, 1);
  EXPECT_EQ(engine_state.spectrum_length, 4);
  EXPECT_EQ(engine_state.spectrum_channels, 1);
  EXPECT_EQ(block_counter, 0);
  EXPECT_EQ(length_parity, 0);
  EXPECT_EQ(engine_transform_length(), engine_state.spectrum_length);
  const float* s = engine_state.spectra[0];
  EXPECT_EQ(s[0], 0.25f);
  EXPECT_EQ(s[1], 0.25f);
  EXPECT_EQ(s[2], 0.25f);
  EXPECT_EQ(s[3], 0.0f);
}

TEST_F(spectra_test, stereo_impulses_give_one_spectrum_per_channel_and_gain_zero_still_loads) {
  std::string path = make_file("st.wav", float32_wav(2, {1.0f, 0.0f, 0.0f, 1.0f}));
  ASSERT_EQ(engine_init(1.0f, path.c_str()), 0);
  ASSERT_EQ(engine_state.spectrum_channels, 2);
  ASSERT_EQ(engine_state.spectrum_length, 8);
  // Left is a unit impulse at 0 (flat 1/8); right a unit impulse at 1 (a phase ramp).
  EXPECT_EQ(engine_state.spectra[0][0], 0.125f);
  EXPECT_EQ(engine_state.spectra[0][7], 0.0f);
  EXPECT_EQ(engine_state.spectra[1][0], 0.125f);
  EXPECT_EQ(engine_state.spectra[1][4], -0.125f);  // Nyquist term of a one-sample delay

  ASSERT_EQ(load_impulse(0.0f, path.c_str()), 0);
  EXPECT_EQ(engine_state.ready, 1);
  for (int c = 0; c < 2; ++c)
    for (int j = 0; j < 8; ++j) EXPECT_EQ(engine_state.spectra[c][j], 0.0f);
}

TEST_F(spectra_test, failed_loads_clear_ready_and_keep_the_old_spectra) {
  std::string path = make_file("h.wav", pcm16_wav(1, {1000, 2000, 3000}));
  ASSERT_EQ(engine_init(1.0f, path.c_str()), 0);
  const float* old_spectrum = engine_state.spectra[0];
  const float first_value = old_spectrum[0];

  EXPECT_EQ(load_impulse(0.5f, "ab"), -1);
  EXPECT_EQ(engine_state.ready, 0);
  EXPECT_EQ(engine_state.impulse_gain, 0.5f);
  EXPECT_EQ(load_impulse(0.75f, nullptr), -1);
  EXPECT_EQ(load_impulse(0.25f, dir_.file("gone.wav").c_str()), -1);
  EXPECT_EQ(engine_state.ready, 0);
  EXPECT_EQ(engine_state.impulse_gain, 0.25f);
  EXPECT_EQ(engine_state.spectra[0], old_spectrum);
  EXPECT_EQ(engine_state.spectra[0][0], first_value);
  EXPECT_EQ(engine_transform_length(), 8);

  // A later success makes the engine ready again, with the new gain.
  ASSERT_EQ(load_impulse(2.0f, path.c_str()), 0);
  EXPECT_EQ(engine_state.ready, 1);
  EXPECT_FLOAT_EQ(engine_state.spectra[0][0], 2 * first_value);
}

}  // namespace
