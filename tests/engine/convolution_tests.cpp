// Block convolution and block processing: the stream equals the linear
// convolution, the tail rules around loads, growth, and blocks that pass.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include "engine/block_convolution.h"
#include "tests/support/engine_fixture.h"

namespace {

// Impulse channels as the reader stores them (gain applied, rounded to float).
std::vector<std::vector<double>> stored_impulse() {
  std::vector<std::vector<double>> channels;
  for (int c = 0; c < engine_state.impulse_channels; ++c)
    channels.emplace_back(engine_state.impulse[c],
                          engine_state.impulse[c] + engine_state.impulse_frames);
  return channels;
}

// Streams an interleaved signal through engine_process in blocks of the given
// sizes (cycled) and returns the processed stream.
std::vector<float> stream(std::vector<float> signal, int channels, const std::vector<int>& sizes) {
  std::size_t frames = signal.size() / static_cast<std::size_t>(channels);
  std::size_t at = 0;
  for (std::size_t k = 0; at < frames; ++k) {
    int n = static_cast<int>(
        std::min<std::size_t>(static_cast<std::size_t>(sizes[k % sizes.size()]), frames - at));
    EXPECT_EQ(engine_process(signal.data() + at * channels, n, 16, channels), n);
    at += static_cast<std::size_t>(n);
  }
  return signal;
}

// Channel c of an interleaved stream.
std::vector<double> channel_of(const std::vector<float>& stream, int channels, int c) {
  std::vector<double> x(stream.size() / static_cast<std::size_t>(channels));
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = stream[i * channels + c];
  return x;
}

// Compares channel c of a processed stream with a reference, within a
// fraction of the reference's peak.
void expect_stream_near(const std::vector<float>& output, int channels, int c,
                        const std::vector<double>& y, double fraction) {
  std::size_t frames = output.size() / static_cast<std::size_t>(channels);
  double peak = 1.0;
  for (std::size_t i = 0; i < frames; ++i) peak = std::max(peak, std::fabs(y[i]));
  int failures = 0;
  for (std::size_t i = 0; i < frames && failures < 5; ++i) {
    double got = output[i * channels + c];
    if (std::fabs(got - y[i]) > fraction * peak) {
      ADD_FAILURE() << "channel " << c << " frame " << i << ": " << got << " != " << y[i];
      ++failures;
    }
  }
}

// Compares channel c of a processed stream with the linear convolution of the
// input channel with impulse channel h.
void expect_linear_convolution(const std::vector<float>& input, const std::vector<float>& output,
                               int channels, int c, const std::vector<double>& h) {
  expect_stream_near(output, channels, c, direct_convolution(channel_of(input, channels, c), h),
                     2e-5);
}

float peak_of(const std::vector<float>& v, std::size_t from = 0) {
  float peak = 0.0f;
  for (std::size_t i = from; i < v.size(); ++i) peak = std::max(peak, std::fabs(v[i]));
  return peak;
}

// A room-like impulse: decaying noise.
std::vector<float> decaying_noise(std::size_t frames, int channels, std::uint32_t seed) {
  std::vector<float> h = noise(frames * channels, seed);
  for (std::size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      h[i * channels + c] *= static_cast<float>(0.3 * std::exp(-6.0 * i / frames));
  return h;
}

std::vector<float> audio(std::size_t frames, int channels, std::uint32_t seed) {
  std::vector<float> x = noise(frames * channels, seed);
  for (float& v : x) v = std::round(v * 20000.0f);
  return x;
}

// Channel c of impulse samples as the engine should hold them at a gain, taken
// from the samples written to the file.
std::vector<double> impulse_at_gain(const std::vector<float>& samples, int channels, int c,
                                    float gain) {
  std::vector<double> h(samples.size() / static_cast<std::size_t>(channels));
  for (std::size_t i = 0; i < h.size(); ++i) h[i] = double(gain) * samples[i * channels + c];
  return h;
}

// What a stream of n-frame blocks should sound like when block b goes through
// the impulse h_of_block(b): each block's own convolution, ringing out in full,
// all summed.
std::vector<double> blockwise_reference(
    const std::vector<float>& input, int channels, int c, int n,
    const std::function<const std::vector<double>&(std::size_t)>& h_of_block) {
  const std::vector<double> x = channel_of(input, channels, c);
  std::vector<double> y(x.size(), 0.0);
  for (std::size_t at = 0; at < x.size(); at += static_cast<std::size_t>(n)) {
    const std::vector<double> block(x.begin() + at,
                                    x.begin() + std::min(x.size(), at + std::size_t(n)));
    const std::vector<double> z = direct_convolution(block, h_of_block(at / n));
    for (std::size_t i = 0; i < z.size() && at + i < y.size(); ++i) y[at + i] += z[i];
  }
  return y;
}

struct stream_case {
  int impulse_channels;
  int block_channels;
  int impulse_frames;
  std::vector<int> sizes;
};

// Five blocks of one size, then as many of another as the stream needs.
std::vector<int> growing(int first, int then) {
  std::vector<int> sizes(5, first);
  sizes.resize(5 + 20000 / then + 1, then);
  return sizes;
}

class stream_test : public engine_test, public ::testing::WithParamInterface<stream_case> {};

TEST_P(stream_test, output_is_the_linear_convolution_of_the_stream) {
  const stream_case& p = GetParam();
  std::string path = make_file(
      "h.wav",
      float32_wav(p.impulse_channels, decaying_noise(p.impulse_frames, p.impulse_channels, 11)));
  ASSERT_EQ(engine_init(0.8f, path.c_str()), 0);
  std::vector<float> input = audio(20000, p.block_channels, 5);
  std::vector<float> output = stream(input, p.block_channels, p.sizes);
  std::vector<std::vector<double>> h = stored_impulse();
  for (int c = 0; c < p.block_channels; ++c)
    expect_linear_convolution(input, output, p.block_channels, c, h[h.size() == 1 ? 0 : c]);
}

INSTANTIATE_TEST_SUITE_P(
    blocks, stream_test,
    ::testing::Values(stream_case{1, 1, 700, {576}}, stream_case{2, 2, 700, {576}},
                      stream_case{1, 2, 3000, {1152}}, stream_case{2, 1, 3000, {1152}},
                      stream_case{2, 2, 5000, {4096}},
                      // The first block is longer than the impulse's own length.
                      stream_case{2, 2, 100, {576}},
                      // Sizes that change from block to block, empty blocks included.
                      stream_case{1, 2, 1000, {576, 100, 1049, 0, 333}},
                      // Longer blocks mid-stream grow the transform: with N > 2n
                      // (2048 to 4096 for 1152) and with N <= 2n (4096 for 3000).
                      stream_case{1, 1, 1000, growing(576, 1152)},
                      stream_case{1, 2, 1000, growing(576, 1152)},
                      stream_case{2, 2, 1000, growing(576, 3000)}),
    [](const ::testing::TestParamInfo<stream_case>& info) {
      const stream_case& p = info.param;
      return "impulse" + std::to_string(p.impulse_channels) + "ch_" +
             std::to_string(p.impulse_frames) + "_block" + std::to_string(p.block_channels) +
             "ch_" + std::to_string(p.sizes.front()) +
             (p.sizes.size() > 1 ? "_to_" + std::to_string(p.sizes.back()) : "");
    });

TEST_F(engine_test, a_long_impulse_grows_the_tails_and_convolves_linearly) {
  const int frames = 100000;
  std::string path = make_file("long.wav", float32_wav(1, decaying_noise(frames, 1, 3)));
  ASSERT_EQ(engine_init(1.0f, path.c_str()), 0);
  EXPECT_EQ(engine_transform_length(), 262144);
  // A sparse signal keeps the direct reference cheap.
  std::vector<float> input(2 * 8 * 4096, 0.0f);
  std::vector<float> values = audio(400, 1, 9);
  for (std::size_t k = 0; k < values.size(); ++k) input[(k * 163) % input.size()] = values[k];
  std::vector<float> output = stream(input, 2, {4096});
  std::vector<std::vector<double>> h = stored_impulse();
  expect_linear_convolution(input, output, 2, 0, h[0]);
  expect_linear_convolution(input, output, 2, 1, h[0]);
  EXPECT_GE(tail_capacity, 262144 - 4096);
}

TEST_F(engine_test, a_block_whose_convolution_would_wrap_grows_the_length) {
  std::string path = make_file("h.wav", float32_wav(1, decaying_noise(1000, 1, 4)));
  ASSERT_EQ(engine_init(1.0f, path.c_str()), 0);
  ASSERT_EQ(engine_state.spectrum_length, 2048);
  // 1152 + 1000 - 1 > 2048: kept at 2048 the end of the block's own
  // convolution would wrap onto its start.
  std::vector<float> input = audio(3 * 1152, 1, 2);
  std::vector<float> output = stream(input, 1, {1152});
  EXPECT_EQ(engine_state.spectrum_length, 4096);
  EXPECT_EQ(requested_length, 0);
  expect_linear_convolution(input, output, 1, 0, stored_impulse()[0]);
}

TEST_F(engine_test, one_frame_longer_than_the_spectra_doubles_once_and_keeps_the_count) {
  std::string path = make_file("one.wav", float32_wav(1, {0.5f}));
  ASSERT_EQ(engine_init(1.0f, path.c_str()), 0);
  std::vector<float> block = {4, 8, 12, 16};
  ASSERT_EQ(engine_process(block.data(), 4, 16, 1), 4);  // n == N: no growth
  EXPECT_EQ(engine_state.spectrum_length, 4);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(block[i], 2.0f * (i + 1), 1e-3);
  EXPECT_EQ(block_counter, 1);

  std::vector<float> longer(5, 100.0f);
  ASSERT_EQ(engine_process(longer.data(), 5, 16, 1), 5);
  EXPECT_EQ(engine_state.spectrum_length, 8);
  EXPECT_EQ(requested_length, 0);
  EXPECT_EQ(block_counter, 2);  // a growth keeps the count
  for (float v : longer) EXPECT_NEAR(v, 50.0f, 1e-3);
}

TEST_F(engine_test, the_block_count_stops_at_its_largest_value) {
  std::string path = make_file("h.wav", float32_wav(1, decaying_noise(100, 1, 6)));
  const std::vector<float> input = audio(3 * 64, 1, 7);
  const auto run = [&](std::int32_t count_before_last) {
    EXPECT_EQ(engine_init(1.0f, path.c_str()), 0);
    std::vector<float> out = input;
    for (int b = 0; b < 3; ++b) {
      if (b == 2) block_counter = count_before_last;
      engine_process(out.data() + 64 * b, 64, 16, 1);
    }
    return out;
  };
  const std::vector<float> expected = run(2);
  // About a year of playback: the count no longer moves, and never reads as
  // the first block of the stream.
  EXPECT_EQ(run(INT32_MAX), expected);
  EXPECT_EQ(block_counter, INT32_MAX);
}

// Loud audio through a long impulse, then silence through a short one: the old
// reverb rings out in full, then nothing but silence may come out, also when
// the long impulse comes back at gain 0 and reads further into the tails.
TEST_F(engine_test, a_shorter_transform_lets_the_old_reverb_ring_out_and_no_further) {
  const int n = 576, silent = 16000;
  const std::vector<float> long_samples = decaying_noise(4000, 1, 41);
  std::string long_impulse = make_file("long.wav", float32_wav(1, long_samples));
  std::string short_impulse = make_file("short.wav", float32_wav(1, decaying_noise(300, 1, 42)));
  ASSERT_EQ(engine_init(1.0f, long_impulse.c_str()), 0);
  std::vector<float> input = audio(20 * n, 2, 43);
  std::vector<float> output = stream(input, 2, {n});
  const auto silence_through = [&](const std::string& path, int block) {
    EXPECT_EQ(load_impulse(0.0f, path.c_str()), 0);
    return stream(std::vector<float>(2 * silent, 0.0f), 2, {block});
  };
  const std::vector<float> ringing = silence_through(short_impulse, n);
  output.insert(output.end(), ringing.begin(), ringing.end());
  input.resize(output.size(), 0.0f);
  const std::vector<double> h = impulse_at_gain(long_samples, 1, 0, 1.0f);
  for (int c = 0; c < 2; ++c) {
    expect_stream_near(output, 2, c, direct_convolution(channel_of(input, 2, c), h), 1e-5);
  }
  // Past the last loud block's transform (8192 for 4000 frames) not even the
  // transforms' rounding is left.
  EXPECT_EQ(peak_of(output, 2 * (19 * n + 8192)), 0.0f);
  EXPECT_EQ(peak_of(silence_through(long_impulse, n)), 0.0f);
  EXPECT_EQ(peak_of(silence_through(long_impulse, 64)), 0.0f);
}

// Stereo, a mono stretch longer than the impulse, then stereo again: the second
// channel's tail from before the mono stretch must not come back.
TEST_F(engine_test, a_channel_that_pauses_keeps_no_old_tail) {
  std::string path = make_file("h.wav", float32_wav(1, decaying_noise(1000, 1, 3)));
  ASSERT_EQ(engine_init(1.0f, path.c_str()), 0);
  stream(audio(10 * 576, 2, 4), 2, {576});
  stream(std::vector<float>(4 * 576, 0.0f), 1, {576});
  for (float v : stream(std::vector<float>(2 * 576, 0.0f), 2, {576})) ASSERT_EQ(v, 0.0f);
}

TEST_F(engine_test, blocks_the_engine_cannot_convolve_pass_untouched) {
  std::vector<float> block = {1, -2, 3, -4, 5, -6};
  const std::vector<float> original = block;
  // No impulse yet.
  ASSERT_EQ(engine_init(1.0f, nullptr), -1);
  EXPECT_EQ(engine_process(block.data(), 3, 16, 2), 3);
  EXPECT_EQ(block, original);

  std::string path = make_file("h.wav", float32_wav(1, {0.5f, 0.25f}));
  ASSERT_EQ(load_impulse(1.0f, path.c_str()), 0);
  for (int bits : {8, 24, 32}) EXPECT_EQ(engine_process(block.data(), 3, bits, 2), 3);
  for (int channels : {0, 3, 6, -1}) EXPECT_EQ(engine_process(block.data(), 1, 16, channels), 1);
  EXPECT_EQ(engine_process(block.data(), -5, 16, 2), -5);
  EXPECT_EQ(block, original);
  EXPECT_EQ(block_counter, 0);
}

TEST_F(engine_test, an_empty_block_advances_the_count_and_keeps_every_tail) {
  std::string path = make_file("h.wav", float32_wav(1, decaying_noise(50, 1, 1)));
  ASSERT_EQ(engine_init(1.0f, path.c_str()), 0);
  std::vector<float> block = audio(64, 2, 1);
  engine_process(block.data(), 64, 16, 2);
  const std::vector<float> first(engine_state.tails[0], engine_state.tails[0] + 128);
  const std::vector<float> second(engine_state.tails[1], engine_state.tails[1] + 128);
  // Mono, but it carries no audio: the second channel keeps its tail too.
  EXPECT_EQ(engine_process(block.data(), 0, 16, 1), 0);
  EXPECT_EQ(block_counter, 2);
  EXPECT_EQ(std::vector<float>(engine_state.tails[0], engine_state.tails[0] + 128), first);
  EXPECT_EQ(std::vector<float>(engine_state.tails[1], engine_state.tails[1] + 128), second);
}

// Loud audio through the reverb, then a pause: when convolution resumes (here
// at gain 0, on silence), nothing of the reverb from before the pause plays.
TEST_F(engine_test, a_pause_drops_the_reverb_from_before_it) {
  std::string path = make_file("h.wav", float32_wav(1, decaying_noise(4000, 1, 61)));
  const std::string moved = dir_.file("moved.wav");
  const auto resumed_after = [&](const std::function<void()>& pause) {
    EXPECT_EQ(engine_init(1.0f, path.c_str()), 0);
    stream(audio(20 * 576, 2, 62), 2, {576});
    pause();
    EXPECT_EQ(load_impulse(0.0f, path.c_str()), 0);
    return peak_of(stream(std::vector<float>(2 * 8 * 576, 0.0f), 2, {576}));
  };
  // The impulse file moved away: the load fails, and blocks pass dry.
  EXPECT_EQ(resumed_after([&] {
              EXPECT_EQ(load_impulse(1.0f, moved.c_str()), -1);
              stream(audio(4 * 576, 2, 63), 2, {576});
            }),
            0.0f);
  // The power switch off for a block.
  EXPECT_EQ(resumed_after([] { engine_skip_block(576); }), 0.0f);
  // A block the engine passes for its width or channel count: the stream
  // went on without it, however the engine was called.
  std::vector<float> passed = audio(576, 6, 66);
  for (int bits : {8, 24, 32}) {
    EXPECT_EQ(resumed_after([&] { engine_process(passed.data(), 576, bits, 2); }), 0.0f) << bits;
  }
  for (int channels : {6, 3, 0, -1}) {
    EXPECT_EQ(resumed_after([&] { engine_process(passed.data(), 576, 16, channels); }), 0.0f)
        << channels;
  }
  // Off while the reverb from before a switch to a shorter impulse rings out,
  // or just after it has: all of it goes, also what only the longer transform
  // that comes back would read.
  std::string short_path = make_file("s.wav", float32_wav(1, decaying_noise(300, 1, 64)));
  for (int blocks : {1, 7, 13, 14, 15}) {
    EXPECT_EQ(resumed_after([&] {
                EXPECT_EQ(load_impulse(1.0f, short_path.c_str()), 0);
                stream(audio(blocks * 576, 2, 65), 2, {576});
                engine_skip_block(576);
                stream(std::vector<float>(2 * 576, 0.0f), 2, {576});
              }),
              0.0f)
        << blocks;
  }
  // No audio went by: the stream goes on, and so does its reverb.
  EXPECT_GT(resumed_after([&] {
              EXPECT_EQ(load_impulse(1.0f, moved.c_str()), -1);
              engine_skip_block(0);
              engine_process(nullptr, 0, 16, 1);
              engine_process(passed.data(), 0, 24, 6);
              engine_process(passed.data(), -5, 24, 2);
              engine_process(nullptr, 576, 24, 2);
              engine_process(nullptr, 576, 16, 2);
            }),
            1000.0f);
}

// With a zero spectrum the transforms give exact zeros, which isolates what
// the tail handling reads, moves, clears and keeps.
class tail_rules : public ::testing::Test {
 protected:
  static constexpr int length = 2048;
  static constexpr float sentinel = 777.0f;

  void run(int n, int block_index) {
    work_.assign(length, 0.0f);
    std::fill(work_.begin(), work_.begin() + n, 3.0f);
    spectrum_.assign(length, 0.0f);
    tail_.assign(3000, sentinel);
    for (int i = 0; i < length - n; ++i) tail_[i] = static_cast<float>(i + 1);
    float* work[2] = {work_.data(), nullptr};
    float* spectra[1] = {spectrum_.data()};
    float* tails[2] = {tail_.data(), nullptr};
    convolve_channels(work, n, spectra, length, tails, 0, block_index, 1, 1);
  }

  std::vector<float> work_, spectrum_, tail_;
};

TEST_F(tail_rules, steady_state_with_a_tail_longer_than_the_block) {
  run(576, 5);
  for (int i = 0; i < 576; ++i) ASSERT_EQ(work_[i], i + 1.0f) << i;      // tail mixed in
  for (int i = 0; i < 896; ++i) ASSERT_EQ(tail_[i], i + 577.0f) << i;    // shifted down
  for (int i = 896; i < 1472; ++i) ASSERT_EQ(tail_[i], 0.0f) << i;       // cleared
  for (int i = 1472; i < 3000; ++i) ASSERT_EQ(tail_[i], sentinel) << i;  // never touched
}

TEST_F(tail_rules, steady_state_with_a_tail_within_the_block) {
  run(1152, 5);
  for (int i = 0; i < 896; ++i) ASSERT_EQ(work_[i], i + 1.0f) << i;
  for (int i = 896; i < 1152; ++i) ASSERT_EQ(work_[i], 0.0f) << i;
  for (int i = 0; i < 896; ++i) ASSERT_EQ(tail_[i], 0.0f) << i;  // overwritten
  for (int i = 896; i < 3000; ++i) ASSERT_EQ(tail_[i], sentinel) << i;
}

TEST_F(tail_rules, the_first_block_of_a_stream_mixes_no_tail) {
  run(576, 0);
  for (int i = 0; i < 576; ++i) ASSERT_EQ(work_[i], 0.0f) << i;
  for (int i = 0; i < 1472; ++i) ASSERT_EQ(tail_[i], i + 1.0f) << i;  // neither shifted nor cleared
  run(1152, 0);
  for (int i = 0; i < 896; ++i) ASSERT_EQ(tail_[i], 0.0f) << i;  // overwritten
}

TEST_F(tail_rules, a_block_as_long_as_the_transform_touches_no_tail) {
  run(length, 3);
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(tail_[i], sentinel) << i;
}

// A new gain or impulse before block k continues the stream: the blocks before
// k ring out in full through the old gain and impulse, the blocks from k on go
// through the new ones. A load comes before every block, as the dialog reloads
// on every step of a gain drag, changed or not. Or the two impulses take turns
// every three blocks while the gain moves, as a user trying rooms would.
struct load_case {
  int channels;
  int block;
  int first_frames;
  int second_frames;
  float second_gain;  // the first is 1.0
  bool take_turns = false;
};

class load_mid_stream : public engine_test, public ::testing::WithParamInterface<load_case> {};

TEST_P(load_mid_stream, equals_every_block_through_what_it_was_played_with) {
  const load_case& p = GetParam();
  const int k = 6, n = p.block, channels = p.channels;
  // Long enough for the old reverb to ring out before the stream ends.
  const int blocks = k + (p.first_frames + n - 1) / n + 2;
  const std::vector<float> samples[2] = {decaying_noise(p.first_frames, channels, 51),
                                         decaying_noise(p.second_frames, channels, 52)};
  const std::string paths[2] = {make_file("a.wav", float32_wav(channels, samples[0])),
                                make_file("b.wav", float32_wav(channels, samples[1]))};
  const auto impulse_of = [&](int b) { return p.take_turns ? (b / 3) % 2 : b >= k ? 1 : 0; };
  const auto gain_of = [&](int b) {
    return p.take_turns ? 0.5f + 0.125f * static_cast<float>(b % 4) : b >= k ? p.second_gain : 1.0f;
  };
  ASSERT_EQ(engine_init(1.0f, paths[0].c_str()), 0);
  const std::vector<float> input = audio(static_cast<std::size_t>(blocks) * n, channels, 53);
  std::vector<float> output = input;
  std::int32_t capacity = 0;
  for (int b = 0; b < blocks; ++b) {
    ASSERT_EQ(load_impulse(gain_of(b), paths[impulse_of(b)].c_str()), 0);
    engine_process(output.data() + channels * b * n, n, 16, channels);
    if (b == k) capacity = tail_capacity;
  }
  EXPECT_EQ(tail_capacity, capacity);  // no load grows the memory
  for (int c = 0; c < channels; ++c) {
    std::vector<std::vector<double>> h;
    for (int b = 0; b < blocks; ++b)
      h.push_back(impulse_at_gain(samples[impulse_of(b)], channels, c, gain_of(b)));
    expect_stream_near(
        output, channels, c,
        blockwise_reference(input, channels, c, n,
                            [&](std::size_t b) -> const std::vector<double>& { return h[b]; }),
        1e-5);
  }
}

INSTANTIATE_TEST_SUITE_P(
    loads, load_mid_stream,
    ::testing::Values(load_case{2, 576, 1500, 1500, 1.0f},   // a drag that ends where it began
                      load_case{2, 576, 1500, 1500, 0.5f},   // gain only, N > 2n
                      load_case{2, 2400, 1500, 1500, 0.5f},  // gain only, N <= 2n
                      load_case{2, 576, 1500, 3000, 1.0f},   // a longer impulse, N > 2n
                      load_case{2, 2400, 1500, 3000, 0.7f},  // longer, from N <= 2n to N > 2n
                      // Shorter impulses: the old tail reaches past the new one's.
                      load_case{2, 576, 4000, 300, 1.0f},   // to N <= 2n
                      load_case{2, 100, 1500, 300, 0.8f},   // blocks well below N
                      load_case{1, 1000, 1500, 300, 1.0f},  // close to the new N, mono
                      load_case{2, 1024, 1500, 1, 0.5f},    // n = N: no tail of its own
                      load_case{2, 576, 4000, 300, 0.0f, true}));

TEST_F(engine_test, a_failed_growth_leaves_the_engine_waiting_with_its_request) {
  std::string path = make_file("h.wav", float32_wav(1, {0.5f, 0.25f}));
  ASSERT_EQ(engine_init(1.0f, path.c_str()), 0);
  ASSERT_EQ(engine_state.spectrum_length, 8);
  std::remove(path.c_str());
  std::vector<float> block(20, 1000.0f);
  const std::vector<float> original = block;
  EXPECT_EQ(engine_process(block.data(), 20, 16, 1), 20);
  EXPECT_EQ(block, original);
  EXPECT_EQ(engine_state.ready, 0);
  EXPECT_EQ(requested_length, 32);
  EXPECT_EQ(engine_process(block.data(), 4, 16, 1), 4);
  EXPECT_EQ(block, original);

  // The next successful load, of whatever file, takes the pending length.
  std::string other = make_file("o.wav", float32_wav(1, {1.0f}));
  ASSERT_EQ(load_impulse(1.0f, other.c_str()), 0);
  EXPECT_EQ(engine_state.spectrum_length, 32);
  EXPECT_EQ(requested_length, 0);
}

TEST_F(engine_test, a_successful_growth_rereads_the_same_file) {
  std::string path = make_file("h.wav", float32_wav(2, {0.5f, 0.25f}));
  ASSERT_EQ(engine_init(1.0f, path.c_str()), 0);
  std::vector<float> block(2 * 40, 10.0f);
  engine_process(block.data(), 40, 16, 2);
  EXPECT_STREQ(engine_state.loaded_path, path.c_str());
  std::vector<float> bigger(2 * 100, 10.0f);
  engine_process(bigger.data(), 100, 16, 2);
  EXPECT_STREQ(engine_state.loaded_path, path.c_str());
  EXPECT_EQ(engine_state.spectrum_length, 128);
  EXPECT_NEAR(bigger[0], 5.0f, 1e-3);
  EXPECT_NEAR(bigger[1], 2.5f, 1e-3);
}

}  // namespace
