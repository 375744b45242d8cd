#include "tests/soak/block_player.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Bytes on each side of the block, filled with a pattern the plug-in must not touch.
constexpr std::size_t guard_bytes = 64;

unsigned char guard_byte(std::size_t i) { return static_cast<unsigned char>(0xA5 ^ (i * 7)); }

struct block_shape {
  std::int32_t frames;
  std::int32_t channels;
  std::int32_t bits;
  std::int32_t sample_rate;
  std::size_t bytes() const {
    return static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels) *
           static_cast<std::size_t>(bits / 8);
  }
};

template <typename T, std::size_t n>
T pick(std::mt19937& random, const T (&values)[n]) {
  return values[std::uniform_int_distribution<std::size_t>(0, n - 1)(random)];
}

int percent(std::mt19937& random) { return std::uniform_int_distribution<int>(0, 99)(random); }

block_shape random_shape(std::mt19937& random) {
  // The sizes where something changes: none, one, the limiter's delay, a
  // player's usual block, and the largest.
  static const std::int32_t edge_frames[] = {0, 1, 2, 254, 255, 256, 576, 1152, 4096, 8191, 8192};
  static const std::int32_t usual_rates[] = {8000,  11025, 16000, 22050, 32000,
                                             44100, 48000, 88200, 96000, 192000};
  static const std::int32_t odd_rates[] = {0, -1, INT32_MIN, INT32_MAX};
  block_shape shape{};
  shape.frames = percent(random) < 15
                     ? pick(random, edge_frames)
                     : std::uniform_int_distribution<std::int32_t>(0, most_block_frames)(random);
  const int c = percent(random);
  shape.channels = c < 40 ? 1 : c < 85 ? 2 : 6;
  const int b = percent(random);
  shape.bits = b < 70 ? 16 : b < 85 ? 8 : 24;
  const int r = percent(random);
  shape.sample_rate = r < 50   ? pick(random, usual_rates)
                      : r < 95 ? std::uniform_int_distribution<std::int32_t>(1, 400000)(random)
                               : pick(random, odd_rates);
  return shape;
}

constexpr std::size_t most_block_bytes = most_block_frames * 6 * 3;

// 16-bit audio of one of several kinds, the loud and extreme ones included.
void fill_pcm16(std::mt19937& random, std::vector<std::int16_t>& values, std::size_t samples,
                unsigned char* bytes) {
  std::fill(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(samples), 0);
  switch (std::uniform_int_distribution<int>(0, 5)(random)) {
    case 0:  // silence
      break;
    case 1: {  // full-scale noise
      std::uniform_int_distribution<int> full(-32768, 32767);
      for (std::size_t k = 0; k < samples; ++k) values[k] = static_cast<std::int16_t>(full(random));
      break;
    }
    case 2: {  // quiet noise
      std::uniform_int_distribution<int> quiet(-2000, 2000);
      for (std::size_t k = 0; k < samples; ++k)
        values[k] = static_cast<std::int16_t>(quiet(random));
      break;
    }
    case 3: {  // full-scale square wave, both extremes
      const std::size_t half = std::uniform_int_distribution<std::size_t>(1, 200)(random);
      for (std::size_t k = 0; k < samples; ++k) values[k] = (k / half) % 2 ? -32768 : 32767;
      break;
    }
    case 4: {  // a sine at any level
      const double amplitude = std::uniform_real_distribution<double>(0, 32767)(random);
      const double step = std::uniform_real_distribution<double>(0.001, 3.0)(random);
      for (std::size_t k = 0; k < samples; ++k) {
        values[k] = static_cast<std::int16_t>(amplitude * std::sin(step * static_cast<double>(k)));
      }
      break;
    }
    default:  // the lowest value held
      std::fill(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(samples),
                static_cast<std::int16_t>(-32768));
      break;
  }
  std::memcpy(bytes, values.data(), samples * sizeof(std::int16_t));
}

void fill_bytes(std::mt19937& random, unsigned char* bytes, std::size_t count) {
  std::uniform_int_distribution<int> byte(0, 255);
  for (std::size_t k = 0; k < count; ++k) bytes[k] = static_cast<unsigned char>(byte(random));
}

std::string describe(std::int64_t number, const block_shape& shape, const char* power) {
  return "block " + std::to_string(number) + " (" + std::to_string(shape.frames) + " frames, " +
         std::to_string(shape.channels) + " channels, " + std::to_string(shape.bits) + " bits, " +
         std::to_string(shape.sample_rate) + " Hz, power " + power + ")";
}

int bits_index(std::int32_t bits) { return bits == 8 ? 0 : bits == 16 ? 1 : 2; }
int channels_index(std::int32_t channels) { return channels == 1 ? 0 : channels == 2 ? 1 : 2; }

}  // namespace

void player_totals::add(const player_totals& other) {
  blocks += other.blocks;
  frames += other.frames;
  for (int i = 0; i < 3; ++i) {
    blocks_by_bits[i] += other.blocks_by_bits[i];
    blocks_by_channels[i] += other.blocks_by_channels[i];
  }
  empty_blocks += other.empty_blocks;
  processed_blocks += other.processed_blocks;
  untouched_blocks += other.untouched_blocks;
  uncertain_blocks += other.uncertain_blocks;
  limited_samples += other.limited_samples;
  limited_peak = std::max(limited_peak, other.limited_peak);
  longest_call_ms = std::max(longest_call_ms, other.longest_call_ms);
}

block_player::block_player(plugin_session& session, const power_timeline& power, std::uint32_t seed,
                           heartbeat& heart, failure_log& failures)
    : session_(session),
      power_(power),
      random_(seed),
      heart_(heart),
      failures_(failures),
      buffer_(guard_bytes + most_block_bytes + guard_bytes),
      sent_(most_block_bytes),
      pcm16_(most_block_bytes / 2) {}

block_player::~block_player() { stop(); }

void block_player::start() {
  stop_.store(false);
  thread_ = os_thread([this] { play(); });
}

void block_player::stop() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
}

void block_player::play() {
  while (!stop_.load()) play_block();
  heart_.rest();
}

void block_player::play_block() {
  heart_.at("making a block");
  const block_shape shape = random_shape(random_);
  const std::size_t bytes = shape.bytes();
  // The block sits right behind the front guard; the back guard right behind it.
  unsigned char* front_guard = buffer_.data();
  unsigned char* samples = front_guard + guard_bytes;
  unsigned char* back_guard = samples + bytes;
  for (std::size_t i = 0; i < guard_bytes; ++i) {
    front_guard[i] = guard_byte(i);
    back_guard[i] = guard_byte(i + guard_bytes);
  }
  if (shape.bits == 16) {
    fill_pcm16(random_, pcm16_, bytes / 2, samples);
  } else {
    fill_bytes(random_, samples, bytes);
  }
  std::copy(samples, samples + bytes, sent_.begin());

  const power_timeline::reading power = power_.read();
  heart_.at("modify-samples");
  const auto begin = std::chrono::steady_clock::now();
  const std::int32_t returned =
      session_.modify_samples(reinterpret_cast<std::int16_t*>(samples), shape.frames, shape.bits,
                              shape.channels, shape.sample_rate);
  const auto end = std::chrono::steady_clock::now();
  const bool power_known = power_.steady_since(power);
  heart_.at("checking a block");

  const std::int64_t number = totals_.blocks++;
  totals_.frames += shape.frames;
  ++totals_.blocks_by_bits[bits_index(shape.bits)];
  ++totals_.blocks_by_channels[channels_index(shape.channels)];
  if (shape.frames == 0) ++totals_.empty_blocks;
  totals_.longest_call_ms = std::max(
      totals_.longest_call_ms, std::chrono::duration<double, std::milli>(end - begin).count());
  const char* power_text = !power_known ? "switching" : power.on ? "on" : "off";

  if (returned != shape.frames) {
    failures_.add(describe(number, shape, power_text) + ": modify-samples returned " +
                  std::to_string(returned));
  }
  for (std::size_t i = 0; i < guard_bytes; ++i) {
    if (front_guard[i] != guard_byte(i) || back_guard[i] != guard_byte(i + guard_bytes)) {
      failures_.add(describe(number, shape, power_text) + ": bytes outside the block were written");
      break;
    }
  }

  const bool untouched = std::equal(samples, samples + bytes, sent_.begin());
  const bool processable = shape.bits == 16 && (shape.channels == 1 || shape.channels == 2);
  if (!processable || (power_known && !power.on)) {
    ++totals_.untouched_blocks;
    if (!untouched) {
      failures_.add(describe(number, shape, power_text) +
                    ": a block to pass untouched was changed");
    }
    return;
  }
  if (!power_known && untouched) {
    // Either passed by, or processed into the same samples: nothing to learn.
    ++totals_.uncertain_blocks;
    priming_.maybe_processed(shape.channels);
    return;
  }
  if (!power_known) ++totals_.uncertain_blocks;
  ++totals_.processed_blocks;
  const std::int32_t limited_frames = priming_.processed(shape.channels, shape.frames);
  const std::size_t limited =
      static_cast<std::size_t>(limited_frames) * static_cast<std::size_t>(shape.channels);
  for (std::size_t k = 0; k < limited; ++k) {
    std::int16_t value;
    std::memcpy(&value, samples + 2 * k, sizeof value);
    const std::int32_t magnitude = std::abs(static_cast<std::int32_t>(value));
    totals_.limited_peak = std::max(totals_.limited_peak, magnitude);
    if (magnitude > limited_sample_ceiling) {
      failures_.add(describe(number, shape, power_text) + ": limited sample " + std::to_string(k) +
                    " of " + std::to_string(limited) + " is " + std::to_string(value));
      break;
    }
  }
  totals_.limited_samples += static_cast<std::int64_t>(limited);
}
