// Time per sample of the limiter and the two conversions, beside the time of
// convolving the same block, to show that the limiter is not what a block waits
// for. Run it; it is not a test.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/block_processing.h"
#include "engine/dsp_monkee.h"
#include "engine/engine_state.h"
#include "engine/sample_conversion.h"
#include "tests/support/test_files.h"

namespace {

constexpr std::int32_t block_frames = 576;
constexpr std::int32_t block_channels = 2;
constexpr std::int32_t block_values = block_frames * block_channels;

// Interleaved stereo in the 16-bit scale, peaking at `level`.
std::vector<float> float_block(float level, std::uint32_t seed) {
  std::vector<float> block = noise(block_values, seed);
  for (float& value : block) value *= level;
  return block;
}

void count_samples(benchmark::State& state) {
  const double samples = static_cast<double>(state.iterations()) * block_values;
  state.SetItemsProcessed(static_cast<std::int64_t>(samples));
  // Shown in seconds per sample: 5n is 5 ns.
  state.counters["per_sample"] = benchmark::Counter(
      block_values, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The limiter alone, running, on one 576-frame stereo block after another.
// level 20000: idle throughout; 60000: limiting throughout.
void limiter_process(benchmark::State& state) {
  const float level = static_cast<float>(state.range(0));
  dsp_monkee limiter;
  const std::vector<float> input = float_block(level, 1);
  std::vector<float> block = input;
  for (int i = 0; i < 4; ++i) {
    block = input;
    limiter.process(block.data(), block_channels, block_frames);
  }
  // The fresh copy of the block is timed too: it costs far less than stopping
  // the clock around it.
  for (auto _ : state) {
    std::copy(input.begin(), input.end(), block.begin());
    benchmark::DoNotOptimize(limiter.process(block.data(), block_channels, block_frames));
    benchmark::ClobberMemory();
  }
  count_samples(state);
}
BENCHMARK(limiter_process)->Arg(20000)->Arg(60000);

void widen(benchmark::State& state) {
  std::vector<std::int16_t> samples(block_values);
  for (std::int32_t k = 0; k < block_values; ++k) {
    samples[k] = static_cast<std::int16_t>((k * 7919) % 65536 - 32768);
  }
  std::vector<float> block(block_values + 256);
  for (auto _ : state) {
    pcm16_to_float(samples.data(), block.data(), block_frames, block_channels);
    benchmark::ClobberMemory();
  }
  count_samples(state);
}
BENCHMARK(widen);

// The narrowing alone; level 20000 stays inside the 16-bit range, 60000 saturates
// about half of the values.
void narrow(benchmark::State& state) {
  const std::vector<float> block = float_block(static_cast<float>(state.range(0)), 2);
  std::vector<std::int16_t> samples(block_values);
  for (auto _ : state) {
    narrow_to_pcm16(block.data(), samples.data(), block.size());
    benchmark::ClobberMemory();
  }
  count_samples(state);
}
BENCHMARK(narrow)->Arg(20000)->Arg(60000);

// What the host layer runs after the convolution: limiter and narrowing.
void limit_and_narrow(benchmark::State& state) {
  const std::vector<float> input = float_block(60000.0f, 3);
  std::vector<float> block = input;
  std::vector<std::int16_t> samples(block_values);
  for (int i = 0; i < 4; ++i) {
    block = input;
    limit_to_pcm16(block.data(), samples.data(), block_channels, block_frames);
  }
  for (auto _ : state) {
    std::copy(input.begin(), input.end(), block.begin());
    benchmark::DoNotOptimize(
        limit_to_pcm16(block.data(), samples.data(), block_channels, block_frames));
    benchmark::ClobberMemory();
  }
  count_samples(state);
}
BENCHMARK(limit_and_narrow);

// The convolution of the same block with a one-second stereo impulse, for scale.
void convolve_block(benchmark::State& state) {
  temp_dir dir;
  const std::string path = dir.file("impulse.wav");
  write_bytes(path, float32_wav(2, noise(2 * 44100, 4)));
  if (engine_init(1.0f, path.c_str()) != 0) {
    state.SkipWithError("the impulse did not load");
    return;
  }
  const std::vector<float> input = float_block(20000.0f, 5);
  std::vector<float> block(block_values + 256);
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(input.begin(), input.end(), block.begin());
    state.ResumeTiming();
    benchmark::DoNotOptimize(engine_process(block.data(), block_frames, 16, block_channels));
    benchmark::ClobberMemory();
  }
  engine_release();
  count_samples(state);
}
BENCHMARK(convolve_block)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
