#include "tools/demo_signals.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;

// A small fixed-seed generator, so the impulse is the same on every run.
class xorshift32 {
 public:
  explicit xorshift32(std::uint32_t seed) : state_(seed) {}
  // Uniform in [-1, 1).
  double next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<double>(state_) / 2147483648.0 - 1.0;
  }

 private:
  std::uint32_t state_;
};

double note_frequency(int midi_note) { return 440.0 * std::pow(2.0, (midi_note - 69) / 12.0); }

// Adds one plucked note: a few harmonics, the higher ones dying sooner.
void add_pluck(std::vector<double>& left, std::vector<double>& right, double start_seconds,
               int midi_note, double level, double pan, double decay_seconds) {
  const double frequency = note_frequency(midi_note);
  const std::size_t start = static_cast<std::size_t>(start_seconds * demo_sample_rate);
  const std::size_t length = static_cast<std::size_t>(decay_seconds * 6 * demo_sample_rate);
  const double left_gain = level * std::cos(pan * pi / 2);
  const double right_gain = level * std::sin(pan * pi / 2);
  for (std::size_t i = 0; i < length && start + i < left.size(); ++i) {
    const double t = static_cast<double>(i) / demo_sample_rate;
    const double attack = std::min(1.0, t / 0.004);
    double value = 0;
    for (int harmonic = 1; harmonic <= 6; ++harmonic) {
      value += std::sin(2 * pi * frequency * harmonic * t) / harmonic *
               std::exp(-t * harmonic / decay_seconds);
    }
    value *= attack;
    left[start + i] += left_gain * value;
    right[start + i] += right_gain * value;
  }
}

// Adds a soft kick: a sine sweeping down from 110 to 45 Hz, dying in 150 ms.
void add_kick(std::vector<double>& left, std::vector<double>& right, double start_seconds,
              double level) {
  const std::size_t start = static_cast<std::size_t>(start_seconds * demo_sample_rate);
  double phase = 0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(0.3 * demo_sample_rate); ++i) {
    if (start + i >= left.size()) break;
    const double t = static_cast<double>(i) / demo_sample_rate;
    const double frequency = 45.0 + 65.0 * std::exp(-t / 0.03);
    phase += 2 * pi * frequency / demo_sample_rate;
    const double value = level * std::sin(phase) * std::exp(-t / 0.15);
    left[start + i] += value;
    right[start + i] += value;
  }
}

}  // namespace

std::vector<std::int16_t> demo_music(double seconds) {
  const std::size_t frames = static_cast<std::size_t>(seconds * demo_sample_rate);
  std::vector<double> left(frames, 0.0), right(frames, 0.0);

  // C major, A minor, F major, G major: four notes each, bass root below.
  const int chords[4][4] = {{60, 64, 67, 72}, {57, 60, 64, 69}, {53, 57, 60, 65}, {55, 59, 62, 67}};
  const double beat = 0.375;  // 160 beats per minute
  const double chord_length = 4 * beat;
  for (int bar = 0; bar * chord_length < seconds; ++bar) {
    const int* chord = chords[bar % 4];
    const double bar_start = bar * chord_length;
    add_pluck(left, right, bar_start, chord[0] - 24, 0.55, 0.5, 0.6);
    for (int step = 0; step < 8; ++step) {
      // Up and down the chord in eighth notes, swaying across the stereo field.
      const int index = step < 4 ? step : 7 - step;
      const double pan = 0.2 + 0.6 * (step % 4) / 3.0;
      add_pluck(left, right, bar_start + step * beat / 2, chord[index], 0.3, pan, 0.35);
    }
    for (int b = 0; b < 4; ++b) add_kick(left, right, bar_start + b * beat, 0.35);
  }

  double peak = 1e-9;
  for (std::size_t i = 0; i < frames; ++i) {
    peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
  }
  const double scale = 0.5 * 32767.0 / peak;
  std::vector<std::int16_t> samples(2 * frames);
  for (std::size_t i = 0; i < frames; ++i) {
    samples[2 * i] = static_cast<std::int16_t>(std::lround(left[i] * scale));
    samples[2 * i + 1] = static_cast<std::int16_t>(std::lround(right[i] * scale));
  }
  return samples;
}

std::vector<float> demo_room_impulse(double seconds, double rt60_seconds) {
  const std::size_t frames = static_cast<std::size_t>(seconds * demo_sample_rate);
  std::vector<float> samples(2 * frames, 0.0f);
  xorshift32 random(0x2545F491u);

  // The direct sound, slightly off centre.
  samples[0] = 0.8f;
  samples[1] = 0.7f;

  // Early reflections in the first 40 ms, weaker the later they come.
  for (int reflection = 0; reflection < 12; ++reflection) {
    const double delay = 0.004 + 0.036 * (random.next() + 1) / 2;
    const std::size_t frame = static_cast<std::size_t>(delay * demo_sample_rate);
    const double level = 0.35 * std::exp(-delay / 0.03) * random.next();
    samples[2 * frame + (reflection & 1)] += static_cast<float>(level);
  }

  // The diffuse tail from 20 ms on: independent noise per channel, decaying
  // exponentially and passing through a low-pass that closes over time, with
  // about half the energy of the direct sound in all.
  const double decay_per_second = std::log(1000.0) / rt60_seconds;
  const std::size_t tail_start = static_cast<std::size_t>(0.02 * demo_sample_rate);
  double smoothed[2] = {0, 0};
  for (std::size_t i = tail_start; i < frames; ++i) {
    const double t = static_cast<double>(i) / demo_sample_rate;
    const double envelope =
        0.025 * std::exp(-decay_per_second * t) * std::min(1.0, (t - 0.02) / 0.01);
    const double closing = 0.15 + 0.8 * std::exp(-t / 0.25);
    // A one-pole low-pass with coefficient a keeps a / (2 - a) of the power.
    const double loudness = std::sqrt(closing / (2 - closing));
    for (int channel = 0; channel < 2; ++channel) {
      smoothed[channel] += closing * (random.next() - smoothed[channel]);
      samples[2 * i + channel] += static_cast<float>(envelope * smoothed[channel] / loudness);
    }
  }
  return samples;
}
