// Arbitrary bytes as the impulse file: the engine starts with it, loads it once
// more at another gain, convolves a stereo block and then a mono one, and is
// released. Whatever the file holds, nothing may crash; the file is accepted
// exactly when its header is (parsed here once more from a buffer of the
// file's own size, so that the address sanitizer sees any byte read past its
// end); every sample that the file holds is decoded as it stands; a block
// that meets no ready impulse is left untouched; and every memory block comes
// back. A quarter of the inputs also have one memory-block allocation of one
// of those steps fail, as a host short of memory would see it.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/impulse_reader.h"
#include "engine/wav_header.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// The header as the reader must see it, and whether it must take the file.
struct expected_impulse {
  wav_header header;
  bool accepted;
  std::int32_t frames;  // as kept, when accepted
};

expected_impulse expect_impulse(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly the file's size, so that the address sanitizer sees any
  // byte the chunk walk reads past its end.
  const std::vector<std::uint8_t> file(data, data + size);
  expected_impulse expected{};
  const bool parsed = parse_wav_header(file.data(), file.size(), &expected.header);
  const wav_header& header = expected.header;
  // 32-bit samples are floats, unless the format says they are integers.
  const bool integers_at_32 = header.bits_per_sample == 32 && header.sample_format == 1;
  expected.accepted = parsed && (header.bits_per_sample == 16 || header.bits_per_sample == 32) &&
                      (header.channels == 1 || header.channels == 2) && !integers_at_32 &&
                      wav_frame_count(header) >= 1;
  if (expected.accepted) expected.frames = std::min(wav_frame_count(header), max_impulse_frames);
  return expected;
}

bool same_value(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// Every sample whose bytes all lie within the file, decoded independently; the
// samples the file does not hold are silent.
void check_samples(const std::uint8_t* data, std::size_t size, const expected_impulse& expected,
                   float gain) {
  const wav_header& header = expected.header;
  const std::size_t sample_bytes = header.bits_per_sample / 8;
  for (std::int32_t i = 0; i < expected.frames; ++i) {
    for (std::int32_t c = 0; c < header.channels; ++c) {
      const std::size_t at =
          header.data_offset + (std::size_t(i) * header.channels + c) * sample_bytes;
      float value;
      if (at + sample_bytes > size) {
        value = 0.0f;
      } else if (sample_bytes == 2) {
        const int v = static_cast<signed char>(data[at + 1]) * 256 + data[at];
        value = static_cast<float>(v * 0x1p-15 * static_cast<double>(gain));
      } else {
        float f;
        std::memcpy(&f, data + at, 4);
        value = static_cast<float>(static_cast<double>(gain) * f);
      }
      FUZZ_CHECK(same_value(engine_state.impulse[c][i], value));
    }
  }
}

bool is_power_of_two(std::int32_t n) { return n > 0 && (n & (n - 1)) == 0; }

// may_run_out: an allocation of this load was made to fail.
void check_engine_after_load(int result, const expected_impulse& expected, bool may_run_out) {
  if (!expected.accepted || result != 0) {
    FUZZ_CHECK(result == -1);
    FUZZ_CHECK(!expected.accepted || may_run_out);
    FUZZ_CHECK(engine_state.ready == 0);
    return;
  }
  FUZZ_CHECK(engine_state.ready == 1);
  FUZZ_CHECK(engine_state.impulse_channels == expected.header.channels);
  FUZZ_CHECK(engine_state.impulse_frames == expected.frames);
  FUZZ_CHECK(engine_state.spectrum_channels == engine_state.impulse_channels);
  FUZZ_CHECK(engine_state.spectrum_length == engine_transform_length());
  FUZZ_CHECK(engine_state.spectrum_length == transform_length_for(expected.frames));
  FUZZ_CHECK(is_power_of_two(engine_state.spectrum_length));
  FUZZ_CHECK(engine_state.impulse_frames <= engine_state.spectrum_length);
  FUZZ_CHECK(requested_length == 0);
}

// The steps of one run, and the allocation failure that one of them may meet.
enum class step { none, init, reload, stereo_block, mono_block };

struct allocation_failure {
  step during;
  long after_successes;
};

// Chosen from the input itself, so that a finding replays exactly.
allocation_failure choose_failure(const std::uint8_t* data, std::size_t size) {
  std::uint32_t hash = 2166136261u;
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  constexpr step steps[] = {step::init, step::reload, step::stereo_block, step::mono_block};
  if (hash % 16 >= 4) return {step::none, -1};
  return {steps[hash % 4], static_cast<long>((hash >> 4) % 6)};
}

template <class action>
int run_step(step current, const allocation_failure& failure, action&& run) {
  if (failure.during == current) platform_fail_global_alloc_after(failure.after_successes);
  const int result = run();
  platform_fail_global_alloc_after(-1);
  return result;
}

// A block in the 16-bit range through the engine; left as it came when no
// impulse was ready for it.
void process_block(int frames, int channels, step current, const allocation_failure& failure) {
  std::vector<float> block(static_cast<std::size_t>(frames * channels));
  for (std::size_t i = 0; i < block.size(); ++i)
    block[i] = static_cast<float>(static_cast<int>(i * 2654435761u % 65536u) - 32768);
  const std::vector<float> original = block;
  const bool ready = engine_state.ready != 0;
  const int returned = run_step(current, failure,
                                [&] { return engine_process(block.data(), frames, 16, channels); });
  FUZZ_CHECK(returned == frames);
  if (!ready) FUZZ_CHECK(block == original);
}

// A header that the reader accepts and that promises no frames, or more than
// this many and more than the file holds, gets its data size cut down.
constexpr std::int32_t usual_frame_budget = 4096;
// One mutant in this many keeps whatever frame count it has.
constexpr unsigned long long_impulse_odds = 8192;

void put_u32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void limit_frame_count(std::uint8_t* data, std::size_t size, std::minstd_rand& random) {
  const expected_impulse expected = expect_impulse(data, size);
  if (!expected.accepted) return;
  const wav_header& header = expected.header;
  const std::size_t frame_bytes = std::size_t(header.channels) * (header.bits_per_sample / 8);
  const std::size_t held =
      size > header.data_offset ? (size - header.data_offset) / frame_bytes : 0;
  const auto budget = static_cast<std::int32_t>(
      std::max<std::size_t>(usual_frame_budget, std::min<std::size_t>(held, max_impulse_frames)));
  if (expected.frames > 0 && expected.frames <= budget) return;
  // The data size field lies just before the samples, wherever the parser
  // found them (byte 40 of a canonical header).
  const auto kept = static_cast<std::int32_t>(1 + random() % static_cast<unsigned>(budget));
  put_u32(data + header.data_offset - 4, static_cast<std::uint32_t>(kept * frame_bytes));
}

}  // namespace

// A file that promises a long impulse costs a second or more: half a million samples decoded and
// transforms of 2^19 and 2^20 points. The seeds hold such files and a few
// mutants keep them; the rest are cut to a few thousand frames, so that the
// fuzzer spends its time on the header and decoding paths rather than inside
// long transforms.
extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t max_size);
extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t max_size, unsigned int seed) {
  size = LLVMFuzzerMutate(data, size, max_size);
  std::minstd_rand random(seed);
  if (random() % long_impulse_odds != 0) limit_frame_count(data, size, random);
  return size;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = fuzz_scratch_folder().file("impulse.wav");
  write_fuzz_file(path, data, size);
  const expected_impulse expected = expect_impulse(data, size);
  const allocation_failure failure = choose_failure(data, size);

  const long blocks_before = platform_live_memory_blocks();
  requested_length = 0;

  const int at_start =
      run_step(step::init, failure, [&] { return engine_init(1.0f, path.c_str()); });
  check_engine_after_load(at_start, expected, failure.during == step::init);
  if (at_start == 0) check_samples(data, size, expected, 1.0f);
  // As the gain slider at its top would reload it.
  const int reloaded =
      run_step(step::reload, failure, [&] { return load_impulse(2.0f, path.c_str()); });
  check_engine_after_load(reloaded, expected, failure.during == step::reload);
  if (reloaded == 0) check_samples(data, size, expected, 2.0f);

  // The second block mixes in the first one's tail, with another channel count.
  process_block(64, 2, step::stereo_block, failure);
  process_block(100, 1, step::mono_block, failure);

  FUZZ_CHECK(engine_release() == 0);
  FUZZ_CHECK(platform_live_memory_blocks() == blocks_before);
  return 0;
}
