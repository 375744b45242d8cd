// Arbitrary bytes as the impulse file: the engine starts with it, loads it once
// more at another gain, convolves one block and is released. Whatever the
// file holds, nothing may crash; the file is accepted exactly when its header
// is (parsed here once more from a buffer of the file's own size, so that the
// address sanitizer sees any byte read past its end); every sample that the
// file holds is decoded as it stands; a refused file leaves the block
// untouched; and every memory block comes back.
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

constexpr int block_frames = 64;
constexpr int block_channels = 2;

// The header as the reader must see it, and whether it must take the file.
struct expected_impulse {
  wav_header header;
  bool accepted;
  std::int32_t frames;  // as kept, when accepted
};

expected_impulse expect_impulse(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> prefix(data, data + std::min(size, wav_prefix_bytes));
  expected_impulse expected{};
  const bool parsed = parse_wav_header(prefix.data(), prefix.size(), &expected.header);
  const wav_header& header = expected.header;
  expected.accepted = parsed && (header.bits_per_sample == 16 || header.bits_per_sample == 32) &&
                      (header.channels == 1 || header.channels == 2) &&
                      wav_frame_count(header) >= 0;
  if (expected.accepted) expected.frames = std::min(wav_frame_count(header), max_impulse_frames);
  return expected;
}

bool same_value(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// Every sample whose bytes all lie within the file, decoded independently.
void check_samples(const std::uint8_t* data, std::size_t size, const expected_impulse& expected,
                   float gain) {
  const wav_header& header = expected.header;
  const std::size_t sample_bytes = header.bits_per_sample / 8;
  for (std::int32_t i = 0; i < expected.frames; ++i) {
    for (std::int32_t c = 0; c < header.channels; ++c) {
      const std::size_t at =
          header.data_offset + (std::size_t(i) * header.channels + c) * sample_bytes;
      if (at + sample_bytes > size) return;
      float value;
      if (sample_bytes == 2) {
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

void check_engine_after_load(int result, const expected_impulse& expected) {
  if (!expected.accepted) {
    FUZZ_CHECK(result == -1);
    FUZZ_CHECK(engine_state.ready == 0);
    return;
  }
  FUZZ_CHECK(result == 0);
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

std::vector<float> test_block() {
  std::vector<float> block(block_frames * block_channels);
  for (std::size_t i = 0; i < block.size(); ++i)
    block[i] = static_cast<float>(static_cast<int>(i * 2654435761u % 65536u) - 32768);
  return block;
}

// A header that the reader accepts and that promises no frames or more than
// this many gets its data size cut down to at most this many frames.
constexpr std::int32_t usual_frame_budget = 4096;
// One mutant in this many keeps whatever frame count it has.
constexpr unsigned long long_impulse_odds = 8192;

void put_u32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void limit_frame_count(std::uint8_t* data, std::size_t size, std::minstd_rand& random) {
  const expected_impulse expected = expect_impulse(data, size);
  if (!expected.accepted || (expected.frames > 0 && expected.frames <= usual_frame_budget)) return;
  // The data size field lies just before the samples, wherever the parser
  // found them (byte 40 of a canonical header).
  const wav_header& header = expected.header;
  const std::int32_t kept = 1 + static_cast<std::int32_t>(random() % usual_frame_budget);
  const std::int32_t data_size = kept * header.channels * (header.bits_per_sample / 8);
  put_u32(data + header.data_offset - 4, static_cast<std::uint32_t>(data_size));
}

}  // namespace

// A file that promises a long impulse (or none, whose fallback transform is
// the longest) costs a second or more: half a million samples decoded and
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
  static const std::string path = fuzz_scratch_folder() + "/impulse.wav";
  write_fuzz_file(path, data, size);
  const expected_impulse expected = expect_impulse(data, size);

  const long blocks_before = platform_live_memory_blocks();
  requested_length = 0;

  check_engine_after_load(engine_init(1.0f, path.c_str()), expected);
  if (expected.accepted) check_samples(data, size, expected, 1.0f);
  // As the gain slider at its top would reload it.
  check_engine_after_load(load_impulse(2.0f, path.c_str()), expected);
  if (expected.accepted) check_samples(data, size, expected, 2.0f);

  const std::vector<float> original = test_block();
  std::vector<float> block = original;
  FUZZ_CHECK(engine_process(block.data(), block_frames, 16, block_channels) == block_frames);
  if (!expected.accepted)
    FUZZ_CHECK(std::memcmp(block.data(), original.data(), block.size() * sizeof(float)) == 0);

  FUZZ_CHECK(engine_release() == 0);
  FUZZ_CHECK(platform_live_memory_blocks() == blocks_before);
  return 0;
}
