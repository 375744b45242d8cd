#pragma once
// The playback thread of the soak: hands the plug-in blocks of random shape
// (0 to 8192 frames; 1, 2 or 6 channels; 8, 16 or 24 bits; any sample rate)
// and random content, one after the other, as fast as the plug-in takes them,
// and checks every block that comes back:
//   - the count returned is the frame count given;
//   - nothing outside the block's bytes was written;
//   - blocks the plug-in does not process (not 16-bit, not 1 or 2 channels,
//     power off) come back byte for byte as they went;
//   - processed 16-bit frames that the limiter wrote stay within its ceiling.
#include <atomic>
#include <cstdint>
#include <random>
#include <vector>

#include "tests/soak/failure_log.h"
#include "tests/soak/limiter_priming.h"
#include "tests/soak/power_timeline.h"
#include "tests/soak/watchdog.h"
#include "tools/os_thread.h"
#include "tools/plugin_session.h"

// Largest magnitude of a limited 16-bit sample: the ceiling 31996.8, truncated.
constexpr std::int32_t limited_sample_ceiling = 31996;
constexpr std::int32_t most_block_frames = 8192;

struct player_totals {
  std::int64_t blocks = 0;
  std::int64_t frames = 0;
  std::int64_t blocks_by_bits[3] = {0, 0, 0};      // 8, 16, 24
  std::int64_t blocks_by_channels[3] = {0, 0, 0};  // 1, 2, 6
  std::int64_t empty_blocks = 0;
  std::int64_t processed_blocks = 0;  // 16-bit, 1 or 2 channels, power on
  std::int64_t untouched_blocks = 0;  // checked byte for byte
  std::int64_t uncertain_blocks = 0;  // the power switch moved during the call
  std::int64_t limited_samples = 0;   // checked against the ceiling
  std::int32_t limited_peak = 0;      // largest magnitude among them
  double longest_call_ms = 0;

  void add(const player_totals& other);
};

class block_player {
 public:
  block_player(plugin_session& session, const power_timeline& power, std::uint32_t seed,
               heartbeat& heart, failure_log& failures);
  ~block_player();
  block_player(const block_player&) = delete;
  block_player& operator=(const block_player&) = delete;

  void start();
  // Returns once the block in progress is done.
  void stop();
  const player_totals& totals() const { return totals_; }  // after stop

 private:
  void play();
  void play_block();

  plugin_session& session_;
  const power_timeline& power_;
  std::mt19937 random_;
  heartbeat& heart_;
  failure_log& failures_;
  limiter_priming priming_;
  // Made once at the largest block's size, so the soak's own allocations do
  // not stir the heap whose size it watches.
  std::vector<unsigned char> buffer_;
  std::vector<unsigned char> sent_;
  std::vector<std::int16_t> pcm16_;
  player_totals totals_;
  std::atomic<bool> stop_{false};
  os_thread thread_;
};
