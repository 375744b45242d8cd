#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <vector>

#include "engine/dsp_monkee.h"
#include "tests/limiter/limiter_reference.h"
#include "tests/support/test_files.h"

// The failed-allocation test asks for an impossible array; the sanitizers'
// allocators must return null for it as the ordinary one does.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_options() { return "allocator_may_return_null=1"; }
#endif

namespace {

// A stereo block whose left channel has loud peaks and whose right is quiet.
std::vector<float> stereo_block(std::uint32_t frames, std::uint32_t seed) {
  const std::vector<float> shape = noise(2 * frames, seed);
  std::vector<float> block(2 * frames);
  for (std::uint32_t i = 0; i < 2 * frames; ++i) {
    block[i] = shape[i] * (i % 2 == 0 ? 45000.0f : 9000.0f);
  }
  return block;
}

TEST(dsp_monkee_priming, fresh_stereo_block_of_100_frames_outputs_nothing) {
  dsp_monkee limiter;
  const std::vector<float> input = stereo_block(100, 1);
  std::vector<float> block = input;
  EXPECT_EQ(limiter.process(block.data(), 2, 100), 0u);
  EXPECT_EQ(block, input);
  EXPECT_EQ(limiter.primed_count, 100u);
  EXPECT_EQ(limiter.frames_out, 0u);
}

TEST(dsp_monkee_priming, fresh_stereo_block_of_576_frames_outputs_321_then_576) {
  dsp_monkee limiter;
  interleaved_reference reference(2);
  const std::vector<float> first = stereo_block(576, 2);
  const std::vector<float> second = stereo_block(576, 3);

  std::vector<float> block = first;
  EXPECT_EQ(limiter.process(block.data(), 2, 576), 321u);
  const std::vector<float> expected_first = reference.process(first);  // 321 frames
  ASSERT_EQ(expected_first.size(), 642u);
  EXPECT_EQ(std::vector<float>(block.begin(), block.begin() + 642), expected_first);
  EXPECT_EQ(std::vector<float>(block.begin() + 642, block.end()),
            std::vector<float>(first.begin() + 642, first.end()));

  block = second;
  EXPECT_EQ(limiter.process(block.data(), 2, 576), 576u);
  EXPECT_EQ(block, reference.process(second));
  // It begins with frame 321 of the first block, limited.
  EXPECT_EQ(block[0], stored_gain_product(first[642], reference.gain_after(0, 0)));
}

TEST(dsp_monkee_priming, block_of_255_frames_primes_fully_and_the_next_outputs_every_frame) {
  dsp_monkee limiter;
  const std::vector<float> first = stereo_block(255, 4);
  std::vector<float> block = first;
  EXPECT_EQ(limiter.process(block.data(), 2, 255), 0u);
  EXPECT_EQ(limiter.primed_count, 255u);
  EXPECT_EQ(block, first);

  interleaved_reference reference(2);
  reference.process(first);
  const std::vector<float> second = stereo_block(10, 5);
  block = second;
  EXPECT_EQ(limiter.process(block.data(), 2, 10), 10u);
  EXPECT_EQ(block, reference.process(second));
  EXPECT_EQ(block[0], stored_gain_product(first[0], reference.gain_after(0, 0)));
}

TEST(dsp_monkee_priming, zero_frames_output_nothing_but_a_new_channel_count_still_rebuilds) {
  dsp_monkee limiter;
  float untouched = 5.0f;
  EXPECT_EQ(limiter.process(&untouched, 2, 0), 0u);
  EXPECT_EQ(limiter.element_count, 2u);
  std::vector<float> block = stereo_block(100, 6);
  limiter.process(block.data(), 2, 100);
  EXPECT_EQ(limiter.primed_count, 100u);

  EXPECT_EQ(limiter.process(&untouched, 1, 0), 0u);
  EXPECT_EQ(limiter.element_count, 1u);
  EXPECT_EQ(limiter.primed_count, 0u);
  EXPECT_EQ(untouched, 5.0f);
}

TEST(dsp_monkee_channels, change_of_channel_count_drops_the_held_frames_and_primes_again) {
  dsp_monkee limiter;
  std::vector<float> stereo = stereo_block(400, 7);
  ASSERT_EQ(limiter.process(stereo.data(), 2, 400), 145u);

  const std::vector<float> mono = noise(300, 8);
  std::vector<float> block = mono;
  EXPECT_EQ(limiter.process(block.data(), 1, 300), 45u);
  EXPECT_EQ(limiter.element_count, 1u);
  // The first output is the first mono frame: nothing of the stereo stream.
  interleaved_reference reference(1);
  const std::vector<float> expected = reference.process(mono);
  EXPECT_EQ(std::vector<float>(block.begin(), block.begin() + 45), expected);
  EXPECT_EQ(block[0], stored_gain_product(mono[0], reference.gain_after(0, 0)));

  // And back to stereo: the same again.
  std::vector<float> again = stereo_block(255, 9);
  EXPECT_EQ(limiter.process(again.data(), 2, 255), 0u);
  EXPECT_EQ(limiter.primed_count, 255u);
}

TEST(dsp_monkee_channels, same_channel_count_keeps_the_delay_rings_across_a_pause) {
  dsp_monkee limiter;
  interleaved_reference reference(2);
  std::uint32_t seed = 10;
  const limiter_channel* elements = nullptr;
  for (const std::uint32_t frames : {576u, 576u, 100u, 1u, 576u}) {
    const std::vector<float> input = stereo_block(frames, seed++);
    std::vector<float> block = input;
    const std::uint32_t out = limiter.process(block.data(), 2, frames);
    if (elements == nullptr) elements = limiter.elements;
    EXPECT_EQ(limiter.elements, elements);
    const std::vector<float> expected = reference.process(input);
    ASSERT_EQ(out * 2, expected.size());
    EXPECT_EQ(std::vector<float>(block.begin(), block.begin() + 2 * out), expected);
  }
}

TEST(dsp_monkee_channels, channels_are_limited_independently) {
  dsp_monkee limiter;
  std::vector<float> block(2 * 1000);
  for (std::size_t frame = 0; frame < 1000; ++frame) {
    block[2 * frame] = frame % 50 == 0 ? 60000.0f : 100.0f;
    block[2 * frame + 1] = 100.0f;
  }
  // Prime the right channel's gain to its idle value first.
  for (int i = 0; i < 3; ++i) {
    std::vector<float> quiet(2 * 100, 0.0f);
    limiter.process(quiet.data(), 2, 100);
  }
  const std::uint32_t out = limiter.process(block.data(), 2, 1000);
  ASSERT_EQ(out, 1000u);
  bool left_limited = false;
  for (std::uint32_t frame = 255; frame < out; ++frame) {
    ASSERT_EQ(block[2 * frame + 1], stored_gain_product(100.0f, 0.999900043010711669921875f))
        << frame;
    left_limited |= block[2 * frame] < 90.0f;
  }
  EXPECT_TRUE(left_limited);
}

TEST(dsp_monkee_drain, does_nothing_before_any_frame_is_primed) {
  dsp_monkee limiter;
  EXPECT_FALSE(limiter.drain());
  EXPECT_FALSE(limiter.flush());
  float none = 0.0f;
  limiter.process(&none, 2, 0);
  const std::int32_t position = limiter.elements[0].write_position;
  EXPECT_FALSE(limiter.drain());
  EXPECT_EQ(limiter.elements[0].write_position, position);
}

TEST(dsp_monkee_drain, feeds_exactly_255_silent_frames_whatever_the_primed_count) {
  for (const std::uint32_t primed : {1u, 100u, 255u}) {
    SCOPED_TRACE(primed);
    dsp_monkee limiter;
    std::vector<float> block = stereo_block(primed, 11);
    limiter.process(block.data(), 2, primed);
    ASSERT_EQ(limiter.primed_count, primed);
    const std::int32_t before = limiter.elements[1].write_position;
    EXPECT_TRUE(limiter.drain());
    EXPECT_EQ(limiter.primed_count, 0u);
    EXPECT_EQ(limiter.elements[1].write_position, (before + 255) % 256);
    // Primes again with the elements it has.
    std::vector<float> next = stereo_block(255, 12);
    EXPECT_EQ(limiter.process(next.data(), 2, 255), 0u);
    std::vector<float> after = stereo_block(1, 13);
    EXPECT_EQ(limiter.process(after.data(), 2, 1), 1u);
    EXPECT_EQ(after[0], stored_gain_product(next[0], limiter.elements[0].channel_gain));
  }
}

TEST(dsp_monkee_drain, flush_is_the_drain) {
  dsp_monkee limiter;
  std::vector<float> block = stereo_block(50, 14);
  limiter.process(block.data(), 2, 50);
  EXPECT_TRUE(limiter.flush());
  EXPECT_EQ(limiter.primed_count, 0u);
  EXPECT_FALSE(limiter.flush());
}

TEST(dsp_monkee_limits, channel_count_0_returns_0_and_touches_nothing) {
  dsp_monkee limiter;
  std::vector<float> block = stereo_block(300, 15);
  limiter.process(block.data(), 2, 300);
  const std::vector<float> input = stereo_block(300, 16);
  block = input;
  EXPECT_EQ(limiter.process(block.data(), 0, 300), 0u);
  EXPECT_EQ(block, input);
  EXPECT_EQ(limiter.element_count, 2u);
  EXPECT_EQ(limiter.primed_count, 255u);
}

bool overcommit_always() {
  std::ifstream setting("/proc/sys/vm/overcommit_memory");
  int mode = 0;
  return (setting >> mode) && mode == 1;
}

TEST(dsp_monkee_limits, failed_allocation_leaves_the_block_and_returns_0) {
  if (sizeof(void*) == 8 && overcommit_always()) {
    GTEST_SKIP() << "the kernel would grant the impossible array";
  }
  dsp_monkee limiter;
  std::vector<float> block = stereo_block(300, 17);
  limiter.process(block.data(), 2, 300);
  const std::vector<float> input = stereo_block(2, 18);
  block = input;
  // No process can hold 2^32 - 1 elements of 3 KB each.
  EXPECT_EQ(limiter.process(block.data(), 0xFFFFFFFFu, 1), 0u);
  EXPECT_EQ(block, input);
  EXPECT_EQ(limiter.elements, nullptr);
  EXPECT_EQ(limiter.element_count, 0u);
  EXPECT_FALSE(limiter.drain());
  // The next block builds again.
  EXPECT_EQ(limiter.process(block.data(), 2, 2), 0u);
  EXPECT_EQ(limiter.element_count, 2u);
  EXPECT_EQ(limiter.primed_count, 2u);
}

}  // namespace
