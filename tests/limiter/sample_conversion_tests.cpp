#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "engine/dsp_monkee.h"
#include "engine/sample_conversion.h"
#include "tests/limiter/limiter_reference.h"
#include "tests/support/engine_fixture.h"

namespace {

constexpr std::int16_t sentinel = 0x5A5A;

// Gives the global limiter new elements for `channels`, with nothing primed, as
// at the first processed block: a block of no frames with another channel
// count rebuilds them, and one with this count rebuilds them again.
void fresh_global_limiter(std::int32_t channels) {
  float unused = 0.0f;
  std::int16_t none = 0;
  limit_to_pcm16(&unused, &none, channels == 1 ? 2 : 1, 0);
  limit_to_pcm16(&unused, &none, channels, 0);
}

std::int16_t narrowed(float value) {
  std::int16_t sample = sentinel;
  narrow_to_pcm16(&value, &sample, 1);
  return sample;
}

TEST(pcm16_to_float, widens_every_sample_exactly) {
  const std::vector<std::int16_t> samples = {-32768, 32767, 0, -1, 1, 12345, -23456, 7};
  std::vector<float> block(samples.size() + 2, -7.0f);
  pcm16_to_float(samples.data(), block.data(), 4, 2);
  for (std::size_t k = 0; k < 8; ++k) EXPECT_EQ(block[k], static_cast<float>(samples[k])) << k;
  EXPECT_EQ(block[0], -32768.0f);
  EXPECT_EQ(block[1], 32767.0f);
  EXPECT_EQ(block[8], -7.0f);

  std::vector<float> mono(samples.size(), -7.0f);
  pcm16_to_float(samples.data(), mono.data(), 5, 1);
  for (std::size_t k = 0; k < 5; ++k) EXPECT_EQ(mono[k], static_cast<float>(samples[k])) << k;
  EXPECT_EQ(mono[5], -7.0f);

  pcm16_to_float(samples.data(), mono.data(), 0, 1);
  pcm16_to_float(samples.data(), mono.data(), -3, 2);
  EXPECT_EQ(mono[5], -7.0f);
}

TEST(narrow_to_pcm16, truncates_toward_zero_inside_the_range) {
  EXPECT_EQ(narrowed(32767.75f), 32767);
  EXPECT_EQ(narrowed(-0.75f), 0);
  EXPECT_EQ(narrowed(-1.5f), -1);
  EXPECT_EQ(narrowed(1.999f), 1);
  EXPECT_EQ(narrowed(-32767.5f), -32767);
  EXPECT_EQ(narrowed(-32768.0f), -32768);
  EXPECT_EQ(narrowed(-32768.5f), -32768);
  EXPECT_EQ(narrowed(31996.80078125f), 31996);
}

TEST(narrow_to_pcm16, saturates_beyond_the_range_instead_of_wrapping) {
  EXPECT_EQ(narrowed(32768.0f), 32767);
  EXPECT_EQ(narrowed(32768.5f), 32767);
  EXPECT_EQ(narrowed(65535.0f), 32767);
  EXPECT_EQ(narrowed(65536.0f), 32767);
  EXPECT_EQ(narrowed(-65535.0f), -32768);
  EXPECT_EQ(narrowed(-32769.0f), -32768);
  EXPECT_EQ(narrowed(2147483648.0f), 32767);
  EXPECT_EQ(narrowed(-2147483648.0f), -32768);
  EXPECT_EQ(narrowed(3e38f), 32767);
  EXPECT_EQ(narrowed(std::numeric_limits<float>::infinity()), 32767);
  EXPECT_EQ(narrowed(-std::numeric_limits<float>::infinity()), -32768);
  EXPECT_EQ(narrowed(std::numeric_limits<float>::quiet_NaN()), 0);
  EXPECT_EQ(narrowed(-std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(limit_to_pcm16, first_stereo_block_of_100_frames_comes_back_unchanged) {
  fresh_global_limiter(2);
  std::vector<std::int16_t> samples(200);
  for (std::size_t k = 0; k < samples.size(); ++k) {
    samples[k] = static_cast<std::int16_t>((static_cast<int>(k) * 331) % 65536 - 32768);
  }
  std::vector<float> block(samples.size() + 256);
  pcm16_to_float(samples.data(), block.data(), 100, 2);
  std::vector<std::int16_t> host = samples;
  EXPECT_EQ(limit_to_pcm16(block.data(), host.data(), 2, 100), 0);
  EXPECT_EQ(host, samples);
}

TEST(limit_to_pcm16, block_of_no_frames_converts_nothing_but_rebuilds_on_a_new_channel_count) {
  fresh_global_limiter(2);
  std::vector<float> block(200, 1.0f);
  std::vector<std::int16_t> host(200, sentinel);
  EXPECT_EQ(limit_to_pcm16(block.data(), host.data(), 2, 100), 0);
  EXPECT_EQ(global_limiter.primed_count, 100u);
  host.assign(200, sentinel);
  EXPECT_EQ(limit_to_pcm16(block.data(), host.data(), 1, 0), 0);
  EXPECT_EQ(global_limiter.element_count, 1u);
  EXPECT_EQ(global_limiter.primed_count, 0u);
  EXPECT_EQ(host, std::vector<std::int16_t>(200, sentinel));
}

TEST(limit_to_pcm16, mono_block_narrows_one_value_per_frame) {
  fresh_global_limiter(1);
  std::vector<float> block = {1.5f, -2.5f, 3.0f, 9.0f, 9.0f};
  std::vector<std::int16_t> host(5, sentinel);
  EXPECT_EQ(limit_to_pcm16(block.data(), host.data(), 1, 3), 0);
  EXPECT_EQ(host, (std::vector<std::int16_t>{1, -2, 3, sentinel, sentinel}));
}

TEST(limit_to_pcm16, first_576_frames_leave_321_limited_and_255_saturated_unlimited) {
  fresh_global_limiter(2);
  // Loud enough that the unlimited tail goes beyond the 16-bit range.
  std::vector<float> first(2 * 576);
  std::vector<float> second(2 * 576);
  const std::vector<float> shape = noise(4 * 576, 21);
  for (std::size_t k = 0; k < first.size(); ++k) {
    first[k] = shape[k] * 50000.0f;
    second[k] = shape[first.size() + k] * 50000.0f;
  }
  interleaved_reference reference(2);
  const std::vector<float> limited_first = reference.process(first);
  const std::vector<float> limited_second = reference.process(second);

  std::vector<float> block = first;
  std::vector<std::int16_t> host(first.size(), sentinel);
  EXPECT_EQ(limit_to_pcm16(block.data(), host.data(), 2, 576), 321);
  bool saturated = false;
  for (std::size_t k = 0; k < host.size(); ++k) {
    if (k < 642) {
      ASSERT_EQ(host[k], narrowed(limited_first[k])) << k;
      ASSERT_LE(std::abs(host[k]), 31996) << k;
    } else {
      ASSERT_EQ(host[k], narrowed(first[k])) << k;
      saturated |= std::fabs(first[k]) > 32768.0f;
      // No overshoot comes back as a sample of the opposite sign.
      ASSERT_TRUE(host[k] == 0 || (host[k] > 0) == (first[k] > 0)) << k;
    }
  }
  EXPECT_TRUE(saturated);

  block = second;
  EXPECT_EQ(limit_to_pcm16(block.data(), host.data(), 2, 576), 576);
  for (std::size_t k = 0; k < host.size(); ++k) {
    ASSERT_EQ(host[k], narrowed(limited_second[k])) << k;
    ASSERT_LE(std::abs(host[k]), 31996) << k;
  }
  // It begins with frame 321 of the first block, delayed and limited.
  EXPECT_EQ(host[0], narrowed(stored_gain_product(first[642], reference.gain_after(0, 0))));
}

// The whole road of a block without the host: 16-bit samples widened, convolved
// with an impulse of gain 2, limited and narrowed, block after block.
class sample_road : public engine_test {};

TEST_F(sample_road, full_scale_audio_through_a_gain_of_2_leaves_delayed_and_within_the_ceiling) {
  // A direct path and an echo: with gain 2 the convolved signal reaches about
  // three times full scale.
  std::vector<std::int16_t> impulse(2 * 64, 0);
  impulse[0] = 32767;
  impulse[1] = 32767;
  impulse[2 * 9] = 16384;
  impulse[2 * 40 + 1] = -16384;
  ASSERT_EQ(engine_init(2.0f, make_file("impulse.wav", pcm16_wav(2, impulse)).c_str()), 0);

  constexpr std::int32_t frames = 576;
  constexpr int blocks = 40;
  fresh_global_limiter(2);
  std::vector<float> convolved;  // the engine's output, frame after frame
  std::vector<std::vector<std::int16_t>> outputs;
  for (int b = 0; b < blocks; ++b) {
    // Full scale: a square wave whose level steps between loud and quiet stretches.
    std::vector<std::int16_t> host(2 * frames);
    const std::vector<float> jitter = noise(host.size(), 100 + static_cast<std::uint32_t>(b));
    for (std::size_t k = 0; k < host.size(); ++k) {
      const std::size_t frame = b * frames + k / 2;
      const bool quiet = (frame / 4000) % 2 == 1;
      const float level = quiet ? 3000.0f : ((frame / 37) % 2 == 0 ? 32767.0f : -32768.0f);
      host[k] = static_cast<std::int16_t>(quiet ? level * jitter[k] : level);
    }
    std::vector<float> block(host.size() + 256, 0.0f);
    pcm16_to_float(host.data(), block.data(), frames, 2);
    ASSERT_EQ(engine_process(block.data(), frames, 16, 2), frames);
    convolved.insert(convolved.end(), block.begin(), block.begin() + 2 * frames);
    const std::int32_t out = limit_to_pcm16(block.data(), host.data(), 2, frames);
    ASSERT_EQ(out, b == 0 ? 321 : frames);
    outputs.push_back(host);
  }

  float loudest_in = 0.0f;
  for (const float value : convolved) loudest_in = std::max(loudest_in, std::fabs(value));
  EXPECT_GT(loudest_in, 2.5f * 32767.0f);

  interleaved_reference reference(2);
  const std::vector<float> limited = reference.process(convolved);
  for (int b = 0; b < blocks; ++b) {
    for (std::int32_t f = 0; f < frames; ++f) {
      for (int c = 0; c < 2; ++c) {
        const std::int16_t sample = outputs[b][2 * f + c];
        if (b == 0 && f >= 321) {
          // Before the limiter has primed: the engine's own values, saturated.
          ASSERT_EQ(sample, narrowed(convolved[2 * f + c]));
          continue;
        }
        // Host frame f of block b carries convolved frame n: the first block's
        // output is compacted to its front, every later one is 255 frames late.
        const std::size_t n = b == 0 ? f : static_cast<std::size_t>(b) * frames + f - 255;
        const float source = convolved[2 * n + c];
        ASSERT_LE(std::abs(sample), 31996) << b << " " << f;
        ASSERT_LE(std::fabs(static_cast<float>(sample)), std::fabs(source) + 1.0f) << b << " " << f;
        ASSERT_TRUE(sample == 0 || (sample > 0) == (source > 0)) << b << " " << f;
        ASSERT_EQ(sample, narrowed(limited[2 * n + c])) << b << " " << f;
      }
    }
  }
}

}  // namespace
