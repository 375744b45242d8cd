#include "tests/soak/soak_impulses.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "tools/demo_signals.h"
#include "tools/wav_file.h"

bool write_soak_impulses(const std::string& folder, impulse_pair& written) {
  written.short_path = folder + "soak-short-impulse.wav";
  written.long_path = folder + "soak-long-impulse.wav";

  const std::vector<float> room = demo_room_impulse(0.05, 0.04);
  std::vector<std::int16_t> left(room.size() / 2);
  for (std::size_t i = 0; i < left.size(); ++i) {
    const long value = std::lround(room[2 * i] * 32767.0f);
    left[i] = static_cast<std::int16_t>(std::clamp(value, -32768L, 32767L));
  }
  return write_pcm16_wav(written.short_path, 1, demo_sample_rate, left) &&
         write_float_wav(written.long_path, 2, demo_sample_rate, demo_room_impulse(2.0, 1.5));
}
