// How long the engine takes: an impulse load (read + spectra), and one block
// of engine_process against the FFTW calls it makes, for impulses of several
// lengths.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/engine.h"
#include "tests/support/test_files.h"

namespace {

constexpr int sample_rate = 44100;

std::string write_impulse(const temp_dir& dir, double seconds, int channels) {
  const std::size_t frames = static_cast<std::size_t>(seconds * sample_rate);
  std::vector<float> values = noise(frames * channels, 17);
  std::vector<std::int16_t> samples(values.size());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    double decay = std::exp(-5.0 * static_cast<double>(i / channels) / static_cast<double>(frames));
    samples[i] = static_cast<std::int16_t>(std::lround(values[i] * 20000.0 * decay));
  }
  std::string path = dir.file("impulse.wav");
  write_bytes(path, pcm16_wav(channels, samples));
  return path;
}

void impulse_load_5s_stereo(benchmark::State& state) {
  temp_dir dir;
  std::string path = write_impulse(dir, 5.0, 2);
  engine_init(1.0f, nullptr);
  for (auto _ : state) benchmark::DoNotOptimize(load_impulse(1.0f, path.c_str()));
  engine_release();
}
BENCHMARK(impulse_load_5s_stereo)->Unit(benchmark::kMillisecond);

// One stereo block of 576 frames through engine_process; argument: impulse
// length in milliseconds.
void engine_process_576_stereo(benchmark::State& state) {
  temp_dir dir;
  std::string path = write_impulse(dir, static_cast<double>(state.range(0)) / 1000.0, 2);
  engine_init(1.0f, path.c_str());
  std::vector<float> input = noise(2 * 576, 3);
  for (float& v : input) v *= 10000.0f;
  std::vector<float> block(input.size());
  for (auto _ : state) {
    block = input;
    engine_process(block.data(), 576, 16, 2);
  }
  const double block_seconds = 576.0 / sample_rate;
  state.counters["realtime_factor"] = benchmark::Counter(
      block_seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["transform_length"] = engine_transform_length();
  engine_release();
}
BENCHMARK(engine_process_576_stereo)->Arg(100)->Arg(1000)->Arg(3000)->Unit(benchmark::kMicrosecond);

// engine_process and the four plan + execute + destroy calls that one stereo
// block makes, timed side by side in the same iterations so that load on the
// machine hits both alike; "around_fftw" is their ratio.
void engine_against_fftw(benchmark::State& state) {
  temp_dir dir;
  std::string path = write_impulse(dir, static_cast<double>(state.range(0)) / 1000.0, 2);
  engine_init(1.0f, path.c_str());
  const int length = engine_transform_length();
  std::vector<float> input = noise(2 * 576, 3);
  for (float& v : input) v *= 10000.0f;
  std::vector<float> block(input.size());
  std::vector<float> work(static_cast<std::size_t>(length), 0.0f);
  using clock = std::chrono::steady_clock;
  clock::duration in_engine{}, in_fftw{};
  for (auto _ : state) {
    block = input;
    auto start = clock::now();
    engine_process(block.data(), 576, 16, 2);
    auto middle = clock::now();
    for (int c = 0; c < 2; ++c) {
      real_transform(work.data(), work.data(), length, transform_forward);
      real_transform(work.data(), work.data(), length, transform_inverse);
    }
    benchmark::ClobberMemory();
    in_engine += middle - start;
    in_fftw += clock::now() - middle;
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["engine_us"] =
      std::chrono::duration<double, std::micro>(in_engine).count() / iterations;
  state.counters["fftw_us"] =
      std::chrono::duration<double, std::micro>(in_fftw).count() / iterations;
  state.counters["around_fftw"] =
      static_cast<double>(in_engine.count()) / static_cast<double>(in_fftw.count());
  state.counters["transform_length"] = length;
  engine_release();
}
BENCHMARK(engine_against_fftw)->Arg(100)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
