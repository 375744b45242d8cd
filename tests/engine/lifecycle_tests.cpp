// The engine's life: init and release, every memory block given back, failed
// allocations, and loads racing blocks on two threads.
#include <atomic>
#include <cmath>
#include <thread>

#include "tests/support/engine_fixture.h"
#include "tools/os_thread.h"

namespace {

std::vector<float> audio_for_threads() {
  std::vector<float> x = noise(2 * 1600, 12);
  for (float& v : x) v *= 30000.0f;
  return x;
}

class lifecycle_test : public engine_test {
 protected:
  void SetUp() override {
    engine_test::SetUp();
    blocks_before_ = live_memory_blocks();
  }
  void expect_no_block_left() {
    engine_release();
    if (can_count_memory_blocks()) {
      EXPECT_EQ(live_memory_blocks(), blocks_before_);
    }
  }
  long blocks_before_ = 0;
};

TEST_F(lifecycle_test, init_without_a_usable_path_keeps_zeroed_tails_and_no_impulse) {
  for (const char* path : {static_cast<const char*>(nullptr), "ab", ""}) {
    EXPECT_EQ(engine_init(1.0f, path), -1);
    EXPECT_EQ(engine_state.ready, 0);
    EXPECT_EQ(engine_transform_length(), 0);
    ASSERT_NE(engine_state.tails, nullptr);
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < initial_tail_floats; i += 997) ASSERT_EQ(engine_state.tails[c][i], 0.0f);
    if (can_count_memory_blocks()) {
      EXPECT_EQ(live_memory_blocks(), blocks_before_ + 2);
    }
    expect_no_block_left();
    EXPECT_EQ(engine_state.tails, nullptr);
  }
}

TEST_F(lifecycle_test, release_gives_back_every_block_after_loads_and_blocks) {
  std::string mono = make_file("m.wav", float32_wav(1, noise(300, 1)));
  std::string stereo = make_file("s.wav", float32_wav(2, noise(600, 2)));
  ASSERT_EQ(engine_init(1.0f, mono.c_str()), 0);
  EXPECT_EQ(block_counter, 0);
  EXPECT_EQ(engine_transform_length(), engine_state.spectrum_length);
  std::vector<float> block(2 * 1000, 100.0f);
  engine_process(block.data(), 1000, 16, 2);  // grows
  ASSERT_EQ(load_impulse(0.5f, stereo.c_str()), 0);
  engine_process(block.data(), 500, 16, 2);
  EXPECT_EQ(engine_state.work, nullptr);  // only while a block is in progress
  EXPECT_EQ(load_impulse(0.5f, dir_.file("none.wav").c_str()), -1);
  EXPECT_EQ(engine_transform_length(), engine_state.spectrum_length);
  expect_no_block_left();
}

TEST_F(lifecycle_test, loads_leave_the_tails_as_they_were) {
  std::string path = make_file("h.wav", float32_wav(1, noise(100, 4)));
  ASSERT_EQ(engine_init(1.0f, path.c_str()), 0);
  std::vector<float> block(200, 1000.0f);
  engine_process(block.data(), 100, 16, 2);
  std::vector<float> tail(engine_state.tails[0], engine_state.tails[0] + 256);
  ASSERT_EQ(load_impulse(2.0f, path.c_str()), 0);
  EXPECT_EQ(load_impulse(2.0f, "xy"), -1);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(engine_state.tails[0][i], tail[i]);
}

TEST_F(lifecycle_test, running_out_of_memory_fails_cleanly_wherever_it_happens) {
  if (!can_count_memory_blocks()) GTEST_SKIP() << "needs the native allocation hook";
  std::string path = make_file("h.wav", float32_wav(2, noise(2000, 5)));
  std::string other = make_file("o.wav", float32_wav(1, noise(50, 6)));
  // Every allocation of init, in turn, fails.
  for (long allowed = 0; allowed < 6; ++allowed) {
    fail_memory_blocks_after(allowed);
    EXPECT_EQ(engine_init(1.0f, path.c_str()), -1) << allowed;
    fail_memory_blocks_after(-1);
    EXPECT_EQ(engine_state.ready, 0);
    expect_no_block_left();
  }
  // A load failing at any allocation after a good one changes only the gain
  // and the ready flag: impulse, path, lengths, spectra and request stay.
  ASSERT_EQ(engine_init(1.0f, other.c_str()), 0);
  const engine_record good = engine_state;
  requested_length = 8192;
  for (long allowed = 0; allowed < 4; ++allowed) {
    fail_memory_blocks_after(allowed);
    EXPECT_EQ(load_impulse(0.5f, path.c_str()), -1);
    fail_memory_blocks_after(-1);
    EXPECT_EQ(engine_state.ready, 0);
    EXPECT_EQ(engine_state.impulse_gain, 0.5f);
    EXPECT_EQ(engine_state.impulse, good.impulse);
    EXPECT_EQ(engine_state.impulse_frames, good.impulse_frames);
    EXPECT_EQ(engine_state.impulse_channels, good.impulse_channels);
    EXPECT_EQ(engine_state.spectra, good.spectra);
    EXPECT_EQ(engine_state.spectrum_length, good.spectrum_length);
    EXPECT_EQ(engine_transform_length(), good.transform_length);
    EXPECT_STREQ(engine_state.loaded_path, good.loaded_path);
    EXPECT_EQ(requested_length, 8192);
  }
  requested_length = 0;
  // Blocks pass untouched when their work arrays (or a grown tail) cannot be had.
  ASSERT_EQ(load_impulse(1.0f, other.c_str()), 0);
  std::vector<float> block(2 * 64, 123.0f);
  const std::vector<float> original = block;
  fail_memory_blocks_after(1);
  EXPECT_EQ(engine_process(block.data(), 64, 16, 2), 64);
  fail_memory_blocks_after(-1);
  EXPECT_EQ(block, original);
  expect_no_block_left();
}

// Init may run out of memory for the tails while a later load still readies
// the engine. Its blocks must then get tails of their own, and come out as
// they would have: a block shorter than the transform, and one as long as it,
// which leaves nothing to carry.
TEST_F(lifecycle_test, blocks_after_init_ran_out_of_memory_for_the_tails_get_tails) {
  if (!can_count_memory_blocks()) GTEST_SKIP() << "needs the native allocation hook";
  const std::string one_frame = make_file("one.wav", float32_wav(1, {0.5f}));       // transform 4
  const std::string hundred = make_file("100.wav", float32_wav(1, noise(100, 7)));  // 256
  for (const auto& [path, frames] : {std::pair{one_frame, 4}, std::pair{hundred, 64}}) {
    std::vector<float> input = noise(2 * 2 * static_cast<std::size_t>(frames), 8);
    for (float& v : input) v *= 20000.0f;
    const auto run_two_blocks = [&, frames = frames] {
      std::vector<float> output = input;
      for (int b = 0; b < 2; ++b)
        EXPECT_EQ(engine_process(output.data() + 2 * frames * b, frames, 16, 2), frames);
      return output;
    };
    ASSERT_EQ(engine_init(1.0f, path.c_str()), 0);
    const std::vector<float> expected = run_two_blocks();
    expect_no_block_left();

    fail_memory_blocks_after(0);
    EXPECT_EQ(engine_init(1.0f, path.c_str()), -1);
    fail_memory_blocks_after(-1);
    ASSERT_EQ(engine_state.tails, nullptr);
    ASSERT_EQ(load_impulse(1.0f, path.c_str()), 0);
    EXPECT_EQ(run_two_blocks(), expected) << path;
    EXPECT_NE(engine_state.tails, nullptr);
    expect_no_block_left();
  }
}

// The dialog can load before init (config before init, then a browse): init
// frees what that load made before it clears the record.
TEST_F(lifecycle_test, init_frees_what_a_load_before_it_left) {
  std::string path = make_file("h.wav", float32_wav(2, noise(2 * 3000, 9)));
  ASSERT_EQ(load_impulse(1.0f, path.c_str()), 0);
  ASSERT_EQ(engine_init(1.0f, path.c_str()), 0);
  if (can_count_memory_blocks()) {
    EXPECT_EQ(live_memory_blocks(), blocks_before_ + 6);  // tails, impulse, spectra
  }
}

TEST_F(lifecycle_test, release_waits_for_a_block_in_progress) {
  std::string path = make_file("h.wav", float32_wav(1, noise(10, 1)));
  ASSERT_EQ(engine_init(1.0f, path.c_str()), 0);
  take_busy_flag();  // stands for a block in progress
  std::atomic<bool> released{false};
  os_thread quit([&] {
    engine_release();
    released = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(released.load());
  EXPECT_NE(engine_state.spectra, nullptr);
  release_busy_flag();
  quit.join();
  EXPECT_TRUE(released.load());
  EXPECT_EQ(engine_state.spectra, nullptr);
  // After release a stray block passes untouched instead of touching freed memory.
  std::vector<float> block(16, 5.0f);
  EXPECT_EQ(engine_process(block.data(), 8, 16, 2), 8);
  EXPECT_EQ(block, std::vector<float>(16, 5.0f));
}

// Blocks that keep growing the transform (each load from the dialog brings it
// back to the impulse's own length) against gain changes and a quit: a growth
// never undoes a gain the dialog set, and a quit leaves nothing behind.
TEST_F(lifecycle_test, growths_racing_the_dialog_and_quit_undo_nothing) {
  std::string path = make_file("h.wav", float32_wav(1, noise(300, 10)));
  const std::vector<float> input = audio_for_threads();
  for (int round = 0; round < 20; ++round) {
    ASSERT_EQ(engine_init(1.0f, path.c_str()), 0);
    std::atomic<bool> stop{false};
    os_thread playback([&] {
      while (!stop) {
        for (int frames : {64, 1500}) {
          std::vector<float> block(input.begin(), input.begin() + 2 * frames);
          engine_process(block.data(), frames, 16, 2);
        }
      }
    });
    int undone = 0;
    for (int k = 1; k <= 20; ++k) {
      const float gain = 0.01f * static_cast<float>(k);
      load_impulse(gain, path.c_str());
      take_busy_flag();
      undone += engine_state.impulse_gain != gain ? 1 : 0;
      release_busy_flag();
    }
    engine_release();
    stop = true;
    playback.join();
    EXPECT_EQ(undone, 0);
    EXPECT_EQ(engine_state.ready, 0);
    if (can_count_memory_blocks()) {
      EXPECT_EQ(live_memory_blocks(), blocks_before_);
    }
  }
}

TEST_F(lifecycle_test, loads_racing_blocks_never_tear_the_state) {
  std::string short_impulse = make_file("s.wav", float32_wav(2, noise(2 * 200, 7)));
  std::string long_impulse = make_file("l.wav", float32_wav(1, noise(5000, 8)));
  ASSERT_EQ(engine_init(1.0f, short_impulse.c_str()), 0);
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  os_thread loader([&] {
    for (int i = 0; !stop; ++i) {
      const std::string& path = i % 3 == 0 ? long_impulse : short_impulse;
      load_impulse(0.5f + 0.01f * static_cast<float>(i % 50), i % 7 == 6 ? "no" : path.c_str());
      take_busy_flag();
      // Under the flag, ready means spectra of spectrum_length built for this length.
      if (engine_state.ready && (engine_state.spectra == nullptr ||
                                 engine_state.spectrum_length != engine_state.transform_length))
        ++torn;
      release_busy_flag();
    }
  });
  std::vector<float> input = audio_for_threads();
  int bad = 0;
  for (int k = 0; k < 300; ++k) {
    int frames = 64 + (k * 37) % 1500;
    std::vector<float> block(input.begin(), input.begin() + 2 * frames);
    engine_process(block.data(), frames, 16, 2);
    for (float v : block) bad += std::isfinite(v) ? 0 : 1;
  }
  stop = true;
  loader.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(bad, 0);
  expect_no_block_left();
}

}  // namespace
