#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/exact_float.h"
#include "engine/limiter_channel.h"
#include "tests/limiter/precision_control.h"
#include "tests/support/test_files.h"

namespace {

std::uint32_t bits_of(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// The gain an idle element settles on: one single step above 0.9999.
constexpr double idle_gain = 0.999900043010711669921875;

// An element that has seen only silence for longer than its ring: every slot
// holds zero and its gain has settled.
limiter_channel idle_channel() {
  limiter_channel channel;
  for (int i = 0; i < 300; ++i) channel.process_sample(0.0f);
  return channel;
}

TEST(limiter_constants, are_held_by_their_exact_bit_patterns) {
  EXPECT_EQ(bits_of(limiter_ceiling), 0x46F9F999u);
  EXPECT_EQ(bits_of(idle_target), 0x3F7FF972u);
  EXPECT_EQ(bits_of(smoothing_keep), 0x3F666666u);
  EXPECT_EQ(bits_of(smoothing_take), 0x3DCCCCCDu);
  EXPECT_EQ(bits_of(recovery_keep), 0x3F7FBE77u);
  EXPECT_EQ(bits_of(recovery_step), 0x3A83126Fu);
}

// The exact sequences must hold whatever precision control the host left.
class limiter_exactness : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    if (GetParam() != 0) {
      ASSERT_EQ(x87_precision_bits(), GetParam());
    }
  }
  host_precision_scope precision_{GetParam()};
};

TEST_P(limiter_exactness, double_sum_is_rounded_once_to_double_then_to_single) {
  // (1 + 2^-12)^2 + 2^-53 (1 + 2^-23) = 1 + 2^-11 + 2^-24 + 2^-53 + 2^-76: to
  // double it rounds up past the single midpoint, so to single it rounds up.
  // Rounded to 64 bits first it lands on a double midpoint, whose tie to even
  // falls back onto the single midpoint, which would round down.
  volatile float a = 0x1.001p+0f;
  volatile float c = 0x1p-53f;
  volatile float d = 0x1.000002p+0f;
  const double_rounding_scope rounding;
  const float sum = rounded_to_float(static_cast<double>(a) * a + static_cast<double>(c) * d);
  EXPECT_EQ(bits_of(sum), bits_of(0x1.002002p+0f));
}

TEST_P(limiter_exactness, idle_gain_is_reached_in_the_55th_call_and_kept) {
  limiter_channel channel;
  channel.process_sample(0.0f);
  EXPECT_EQ(static_cast<double>(channel.smoothed_target), 0.999989986419677734375);
  EXPECT_EQ(static_cast<double>(channel.channel_gain), 0.999989986419677734375);
  for (int call = 2; call <= 2000; ++call) {
    channel.process_sample(100.0f);
    ASSERT_EQ(bits_of(channel.channel_gain), bits_of(channel.smoothed_target)) << "call " << call;
    if (call < 55) {
      ASSERT_GT(static_cast<double>(channel.channel_gain), idle_gain) << call;
    } else {
      ASSERT_EQ(static_cast<double>(channel.channel_gain), idle_gain) << call;
    }
  }
  const float y = channel.process_sample(7.0f);
  EXPECT_EQ(y, stored_float(100.0f * static_cast<float>(idle_gain)));
}

TEST_P(limiter_exactness, lone_loud_sample_follows_its_exact_course) {
  for (const float sign : {1.0f, -1.0f}) {
    SCOPED_TRACE(sign);
    limiter_channel channel = idle_channel();
    const double t = 0.79991996288299560546875;
    const double settled = 0.99989950656890869140625;
    int gain_first_at_0_9 = -1;
    int target_settled_from = -1;
    int gain_settled_from = -1;
    for (int call = 0; call < 10000; ++call) {
      const float y = channel.process_sample(call == 0 ? sign * 40000.0f : 0.0f);
      const double target = channel.smoothed_target;
      const double gain = channel.channel_gain;
      switch (call) {
        case 0:
          EXPECT_EQ(channel.active, 1);
          EXPECT_EQ(static_cast<double>(stored_float(limiter_ceiling / 40000.0f)), t);
          EXPECT_EQ(target, 0.9799020290374755859375);
          EXPECT_EQ(gain, 0.9799020290374755859375);
          break;
        case 50:
          EXPECT_EQ(target, 0.80084741115570068359375);
          EXPECT_EQ(gain, 0.80084741115570068359375);
          break;
        case 255:
          EXPECT_EQ(static_cast<double>(y), sign * 31996.798828125);
          EXPECT_EQ(gain, t);
          EXPECT_EQ(channel.active, 1);
          break;
        case 256:
          EXPECT_EQ(channel.active, 0);
          EXPECT_EQ(target, 0.81991803646087646484375);
          EXPECT_EQ(gain, 0.800120055675506591796875);
          break;
        default:
          break;
      }
      if (call >= 126 && call < 255) {
        ASSERT_EQ(target, 0.79992008209228515625) << call;
        ASSERT_EQ(gain, 0.79992008209228515625) << call;
      }
      if (call != 255) {
        ASSERT_EQ(y, 0.0f) << call;
      }
      if (call > 256 && gain_first_at_0_9 < 0 && gain >= 0.9) gain_first_at_0_9 = call;
      if (target != settled) target_settled_from = -1;
      if (target == settled && target_settled_from < 0) target_settled_from = call;
      if (gain != settled) gain_settled_from = -1;
      if (gain == settled && gain_settled_from < 0) gain_settled_from = call;
    }
    EXPECT_EQ(gain_first_at_0_9, 949);
    EXPECT_EQ(target_settled_from, 382);
    EXPECT_EQ(gain_settled_from, 7746);
  }
}

TEST_P(limiter_exactness, ceiling_sample_passes_and_the_next_float_up_activates) {
  limiter_channel channel = idle_channel();
  channel.process_sample(limiter_ceiling);
  EXPECT_EQ(channel.active, 0);
  float y = 0.0f;
  for (int call = 1; call <= 255; ++call) y = channel.process_sample(0.0f);
  EXPECT_EQ(y, stored_float(limiter_ceiling * static_cast<float>(idle_gain)));
  EXPECT_LT(y, limiter_ceiling);

  const float next_up = std::nextafter(limiter_ceiling, 40000.0f);
  EXPECT_EQ(static_cast<double>(next_up), 31996.80078125);
  channel.process_sample(next_up);
  EXPECT_EQ(channel.active, 1);
}

TEST_P(limiter_exactness, clamp_may_leave_one_single_step_above_the_ceiling) {
  limiter_channel channel = idle_channel();
  float y = 0.0f;
  for (int call = 0; call <= 255; ++call) y = channel.process_sample(call == 0 ? 34146.0f : 0.0f);
  EXPECT_EQ(static_cast<double>(y), 31996.80078125);
  EXPECT_EQ(channel.channel_gain, stored_float(limiter_ceiling / 34146.0f));
  // The clamped gain stays and recovers from there.
  channel.process_sample(0.0f);
  EXPECT_EQ(channel.channel_gain,
            rounded_to_float(static_cast<double>(stored_float(limiter_ceiling / 34146.0f)) *
                                 recovery_keep +
                             static_cast<double>(recovery_step)));
}

INSTANTIATE_TEST_SUITE_P(host_precisions, limiter_exactness, ::testing::ValuesIn(host_precisions()),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return precision_name(info.param);
                         });

TEST(limiter_channel_delay, returns_the_sample_of_255_calls_before_times_the_gain) {
  limiter_channel channel;
  for (int n = 1; n <= 2000; ++n) {
    const float y = channel.process_sample(static_cast<float>(n));
    const float delayed = n > 255 ? static_cast<float>(n - 255) : 0.0f;
    ASSERT_EQ(y, stored_float(delayed * channel.channel_gain)) << n;
  }
}

TEST(limiter_channel_window, maximum_fallen_to_exactly_the_ceiling_deactivates) {
  limiter_channel channel = idle_channel();
  channel.process_sample(40000.0f);
  channel.process_sample(limiter_ceiling);
  for (int call = 2; call < 256; ++call) {
    channel.process_sample(0.0f);
    ASSERT_EQ(channel.active, 1) << call;
  }
  channel.process_sample(0.0f);  // call 256 overwrites the loud leaf
  EXPECT_EQ(channel.active, 0);
}

TEST(limiter_channel_window, loud_samples_256_apart_keep_it_active_and_257_do_not) {
  for (const int gap : {256, 257}) {
    SCOPED_TRACE(gap);
    limiter_channel channel = idle_channel();
    int inactive_calls = 0;
    int first_inactive = -1;
    for (int call = 0; call <= gap + 256; ++call) {
      const bool loud = call == 0 || call == gap;
      channel.process_sample(loud ? 40000.0f : 0.0f);
      if (channel.active == 0) {
        ++inactive_calls;
        if (first_inactive < 0) first_inactive = call;
      }
    }
    // Active until the call after the second sample's output, 256 after its entry.
    EXPECT_EQ(first_inactive, gap == 256 ? gap + 256 : 256);
    EXPECT_EQ(inactive_calls, gap == 256 ? 1 : 2);
  }
}

TEST(limiter_channel_window, target_follows_the_larger_of_two_loud_samples) {
  limiter_channel channel = idle_channel();
  float y = 0.0f;
  for (int call = 0; call < 256; ++call) {
    y = channel.process_sample(call == 0 ? 50000.0f : call == 100 ? 40000.0f : 0.0f);
  }
  // While both are in the ring the target is the larger one's, 0.6399...
  EXPECT_EQ(static_cast<double>(y), 31996.798828125);
  EXPECT_LT(channel.smoothed_target, 0.6400f);
  // ...and once the larger has left, it rises toward the smaller one's, 0.7999...
  for (int call = 256; call < 355; ++call) channel.process_sample(0.0f);
  EXPECT_EQ(channel.active, 1);
  EXPECT_GT(channel.smoothed_target, 0.7999f);
  // The gain climbs back only by the recovery, so the smaller one leaves below
  // the ceiling, unclamped.
  y = channel.process_sample(0.0f);  // call 355
  EXPECT_EQ(y, stored_float(40000.0f * channel.channel_gain));
  EXPECT_LT(y, limiter_ceiling);
}

TEST(limiter_channel_output, loud_noise_never_leaves_above_the_ceiling_by_more_than_one_step) {
  const std::vector<float> shape = noise(200000, 7);
  limiter_channel channel;
  float largest = 0.0f;
  for (std::size_t n = 0; n < shape.size(); ++n) {
    // Stretches of quiet, loud and very loud signal, with isolated spikes.
    const float level = (n / 20000) % 3 == 0 ? 20000.0f : (n / 20000) % 3 == 1 ? 45000.0f : 3e6f;
    const float spike = n % 4099 == 0 ? 1e9f : 1.0f;
    const float y = channel.process_sample(shape[n] * level * spike);
    if (n >= 255) largest = std::max(largest, std::fabs(y));
  }
  EXPECT_LE(static_cast<double>(largest), 31996.80078125);
  EXPECT_GE(static_cast<double>(largest), 31996.796875);
  EXPECT_LE(channel.channel_gain, 1.0f);
  EXPECT_GT(channel.smoothed_target, 0.0f);
}

TEST(limiter_channel_output, nan_passes_delayed_without_activating) {
  limiter_channel channel = idle_channel();
  const float gain = channel.channel_gain;
  channel.process_sample(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(channel.active, 0);
  float y = 0.0f;
  for (int call = 1; call <= 255; ++call) y = channel.process_sample(0.0f);
  EXPECT_TRUE(std::isnan(y));
  EXPECT_EQ(channel.channel_gain, gain);
  EXPECT_EQ(channel.process_sample(0.0f), 0.0f);
}

}  // namespace
