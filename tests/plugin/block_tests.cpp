// Blocks as the host hands them over: which pass untouched, which are
// processed, and that what is processed is what the engine and the limiter
// make of exactly the blocks they were meant to see.
#include <cmath>
#include <cstring>

#include "engine/engine.h"
#include "tests/plugin/dialog_stand_in.h"
#include "tests/plugin/plugin_fixture.h"
#include "tests/plugin/reference_chain.h"
#include "tools/wav_file.h"

namespace {

constexpr std::int32_t frames = 576;
constexpr std::int16_t guard_value = 0x5A5A;
constexpr std::size_t guard_samples = 64;

// A stereo impulse of 700 frames: both channels decay, differently.
std::vector<float> stereo_impulse() {
  std::vector<float> samples(2 * 700);
  for (std::size_t i = 0; i < 700; ++i) {
    const float decay = 1.0f / static_cast<float>(1 + i / 25);
    samples[2 * i] = (i % 5 == 0 ? 0.5f : -0.1f) * decay;
    samples[2 * i + 1] = (i % 3 == 0 ? -0.4f : 0.15f) * decay;
  }
  return samples;
}

// A host buffer with guard samples behind the block, to see how far the
// plug-in writes.
struct guarded_block {
  explicit guarded_block(const std::vector<std::int16_t>& block) : samples(block) {
    samples.insert(samples.end(), guard_samples, guard_value);
  }
  std::vector<std::int16_t> block() const {
    return {samples.begin(), samples.end() - static_cast<std::ptrdiff_t>(guard_samples)};
  }
  bool guard_intact() const {
    for (std::size_t i = samples.size() - guard_samples; i < samples.size(); ++i) {
      if (samples[i] != guard_value) return false;
    }
    return true;
  }
  std::vector<std::int16_t> samples;
};

}  // namespace

class blocks : public plugin_test {
 protected:
  void SetUp() override {
    plugin_test::SetUp();
    impulse_path_ = host_plugins_directory() + "blocks-impulse.wav";
    ASSERT_TRUE(write_float_wav(impulse_path_, 2, 44100, stereo_impulse()));
  }
  void TearDown() override {
    remove_file(impulse_path_);
    plugin_test::TearDown();
  }

  // A session initialised with the impulse, power as given.
  std::unique_ptr<plugin_session> start(std::int32_t power = 1) {
    settings_ = settings_bytes(1.0f, impulse_path_, 0, power);
    write_file(settings_path(), settings_);
    auto session = load();
    if (session->ready()) {
      EXPECT_EQ(session->init(), 0);
    }
    return session;
  }

  // Sends one block; checks the count and that nothing beyond the block is written.
  std::vector<std::int16_t> send(plugin_session& session, const std::vector<std::int16_t>& input,
                                 std::int32_t channels, std::int32_t sample_rate = 44100) {
    const std::int32_t count = static_cast<std::int32_t>(input.size()) / channels;
    guarded_block block(input);
    EXPECT_EQ(session.modify_samples(block.samples.data(), count, 16, channels, sample_rate),
              count);
    EXPECT_TRUE(block.guard_intact()) << "written beyond frames x channels samples";
    return block.block();
  }

  // A loud stereo block through the plug-in: what the reference makes of it.
  void next_block_matches(plugin_session& session, reference_chain& reference, std::uint32_t seed) {
    const std::vector<std::int16_t> input = test_signal(frames, 2, seed, 9000.0f);
    std::vector<std::int16_t> expected = input;
    reference.process(expected.data(), frames, 2);
    EXPECT_EQ(send(session, input, 2), expected) << "block " << seed;
  }

  // Flips the power switch as the dialog's check box does.
  void set_power(plugin_session& session, std::int32_t power) {
    std::int32_t* field = find_power_field(session.library(), settings_);
    ASSERT_NE(field, nullptr);
    window_.run([&] { InterlockedExchange(reinterpret_cast<volatile LONG*>(field), power); });
  }

  std::string impulse_path_;
  std::vector<unsigned char> settings_;
};

TEST_F(blocks, mono_and_stereo_blocks_are_convolved_limited_and_counted) {
  for (std::int32_t channels : {1, 2}) {
    SCOPED_TRACE(channels);
    auto session = start();
    ASSERT_TRUE(session->ready());
    reference_chain reference(1.0f, impulse_path_);
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
      const std::vector<std::int16_t> input = test_signal(frames, channels, seed, 12000.0f);
      std::vector<std::int16_t> expected = input;
      reference.process(expected.data(), frames, channels);
      const std::vector<std::int16_t> output = send(*session, input, channels);
      EXPECT_EQ(output, expected) << "block " << seed;
      EXPECT_NE(output, input);
    }
  }
}

// A stretch of blocks the engine has no buffers for passes untouched, and is a
// pause of the stream, as with the power off: afterwards the reverb from
// before it is gone, and the limiter's held frames come first.
TEST_F(blocks, other_sample_widths_pass_untouched_and_are_a_pause) {
  auto session = start();
  ASSERT_TRUE(session->ready());
  reference_chain reference(1.0f, impulse_path_);
  next_block_matches(*session, reference, 21);

  for (std::int32_t bits : {8, 24, 32, 0}) {
    const std::size_t bytes = static_cast<std::size_t>(frames) * 2 * (bits > 0 ? bits / 8 : 1);
    std::vector<std::int16_t> raw(bytes / 2 + 1);
    for (std::size_t i = 0; i < raw.size(); ++i)
      raw[i] = static_cast<std::int16_t>(i * 2654435761u);
    const std::vector<std::int16_t> before = raw;
    EXPECT_EQ(session->modify_samples(raw.data(), frames, bits, 2, 44100), frames) << bits;
    EXPECT_EQ(raw, before) << bits << "-bit block changed";
  }

  reference.pause();
  next_block_matches(*session, reference, 22);
  next_block_matches(*session, reference, 23);
}

// Channel counts the engine has no buffers for are a pause too. Calls that
// carry no audio (a count no buffer could hold, a negative one, no buffer) are
// not: the reverb goes on through them.
TEST_F(blocks, blocks_the_engine_cannot_take_pass_untouched_with_their_count) {
  auto session = start();
  ASSERT_TRUE(session->ready());
  reference_chain reference(1.0f, impulse_path_);
  next_block_matches(*session, reference, 30);

  // 2^31 - 1 frames would need a float block beyond the address space.
  std::vector<std::int16_t> small = test_signal(16, 2, 32, 9000.0f);
  const std::vector<std::int16_t> small_before = small;
  for (std::int32_t channels : {1, 2}) {
    EXPECT_EQ(session->modify_samples(small.data(), 0x7FFFFFFF, 16, channels, 44100), 0x7FFFFFFF);
  }
  EXPECT_EQ(session->modify_samples(small.data(), -5, 16, 2, 44100), -5);
  EXPECT_EQ(small, small_before);
  EXPECT_EQ(session->modify_samples(nullptr, frames, 24, 2, 44100), frames);
  next_block_matches(*session, reference, 31);

  for (std::int32_t channels : {0, 3, 6, -1}) {
    const std::vector<std::int16_t> input = test_signal(frames, 8, 33, 9000.0f);
    std::vector<std::int16_t> block = input;
    EXPECT_EQ(session->modify_samples(block.data(), frames, 16, channels, 44100), frames)
        << channels;
    EXPECT_EQ(block, input) << channels << " channels";
  }
  reference.pause();
  next_block_matches(*session, reference, 34);
}

TEST_F(blocks, a_block_of_no_frames_returns_0_and_still_reaches_the_limiter) {
  auto session = start();
  ASSERT_TRUE(session->ready());
  reference_chain reference(1.0f, impulse_path_);
  const std::vector<std::int16_t> first = test_signal(frames, 2, 41, 9000.0f);
  std::vector<std::int16_t> expected = first;
  reference.process(expected.data(), frames, 2);
  EXPECT_EQ(send(*session, first, 2), expected);

  // A mono block of no frames: nothing is written, but the limiter is rebuilt
  // for one channel, and again for two at the next stereo block.
  guarded_block empty(std::vector<std::int16_t>{});
  EXPECT_EQ(session->modify_samples(empty.samples.data(), 0, 16, 1, 44100), 0);
  EXPECT_TRUE(empty.guard_intact());
  std::int16_t none = 0;
  reference.process(&none, 0, 1);

  const std::vector<std::int16_t> second = test_signal(frames, 2, 42, 9000.0f);
  expected = second;
  reference.process(expected.data(), frames, 2);
  EXPECT_EQ(send(*session, second, 2), expected);
}

TEST_F(blocks, the_sample_rate_changes_nothing) {
  std::vector<std::vector<std::int16_t>> outputs;
  for (std::int32_t rate : {44100, 48000, 8000, 0}) {
    auto session = start();
    ASSERT_TRUE(session->ready());
    std::vector<std::int16_t> all;
    for (std::uint32_t seed = 51; seed <= 53; ++seed) {
      const std::vector<std::int16_t> output =
          send(*session, test_signal(frames, 2, seed, 9000.0f), 2, rate);
      all.insert(all.end(), output.begin(), output.end());
    }
    outputs.push_back(all);
  }
  for (std::size_t i = 1; i < outputs.size(); ++i) EXPECT_EQ(outputs[i], outputs[0]) << i;
}

TEST_F(blocks, power_off_passes_blocks_and_no_reverb_from_before_it_returns) {
  const std::vector<std::int16_t> a = test_signal(frames, 2, 61, 3000.0f);
  const std::vector<std::int16_t> b = test_signal(frames, 2, 62, 3000.0f);
  const std::vector<std::int16_t> silence(2 * frames, 0);

  // What the engine alone makes of a, before the limiter delays it.
  std::vector<float> convolved_a(a.size() + 256, 0.0f);
  {
    reference_chain engine_only(1.0f, impulse_path_);
    pcm16_to_float(a.data(), convolved_a.data(), frames, 2);
    engine_process(convolved_a.data(), frames, 16, 2);
  }

  auto session = start(0);
  ASSERT_TRUE(session->ready());
  reference_chain reference(1.0f, impulse_path_);

  // Off from the file: untouched.
  EXPECT_EQ(send(*session, b, 2), b);

  set_power(*session, 1);
  std::vector<std::int16_t> expected_a = a;
  reference.process(expected_a.data(), frames, 2);
  EXPECT_EQ(send(*session, a, 2), expected_a);

  set_power(*session, 0);
  EXPECT_EQ(send(*session, b, 2), b);
  EXPECT_EQ(send(*session, b, 1), b);

  // On again, with silence coming in: the limiter still holds a's last 255
  // frames, which lead the block (a's convolved last frames, give or take the
  // limiter's idle gain of 0.9999; not b's, which the limiter never saw). Then
  // silence, exactly: a's reverb belongs to before the pause.
  set_power(*session, 1);
  const std::vector<std::int16_t> output = send(*session, silence, 2);
  const std::size_t held = 255 * 2;
  for (std::size_t k = 0; k < held; ++k) {
    const float was = convolved_a[a.size() - held + k];
    EXPECT_NEAR(output[k], was, 1.0f + std::fabs(was) / 5000.0f) << "sample " << k;
  }
  EXPECT_EQ(std::vector<std::int16_t>(output.begin() + held, output.end()),
            std::vector<std::int16_t>(silence.begin() + held, silence.end()));
  EXPECT_EQ(send(*session, silence, 2), silence);
}

TEST_F(blocks, blocks_before_init_and_after_quit_pass_untouched) {
  auto session = load();
  ASSERT_TRUE(session->ready());
  const std::vector<std::int16_t> input = test_signal(frames, 2, 71, 9000.0f);
  EXPECT_EQ(send(*session, input, 2), input) << "before init";
  session->init();
  EXPECT_NE(send(*session, input, 2), input);
  session->quit();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(send(*session, input, 2), input) << "after quit";
}
