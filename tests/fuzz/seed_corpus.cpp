// Writes the fuzz targets' seed corpora: the impulse files and settings files
// the test suites use, made by the same helpers, plus the damaged forms the
// suites check one by one (truncated, huge or negative data sizes, refused
// formats, short files).
//
//   fuzz_seed_corpus <folder>   fills <folder>/impulse_load, <folder>/impulse_info
//                               and <folder>/settings_file
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "plugin/settings.h"
#include "tests/support/test_files.h"

namespace fs = std::filesystem;

namespace {

using bytes = std::vector<unsigned char>;

std::vector<std::int16_t> ramp(std::size_t count) {
  std::vector<std::int16_t> samples(count);
  for (std::size_t i = 0; i < count; ++i)
    samples[i] = static_cast<std::int16_t>(static_cast<int>(i * 4099 % 65536) - 32768);
  return samples;
}

std::vector<std::pair<std::string, bytes>> impulse_seeds() {
  const bytes four_samples = {0x00, 0x80, 0xFF, 0x7F, 0x34, 0x12, 0x00, 0x00};
  bytes cut_short = pcm16_wav(2, ramp(8));
  cut_short.resize(cut_short.size() - 5);  // the header still promises 4 frames
  bytes short_header = pcm16_wav(1, ramp(2));
  short_header.resize(43);
  return {
      {"pcm16_mono", pcm16_wav(1, ramp(9))},
      {"pcm16_stereo", pcm16_wav(2, ramp(16))},
      // Longer than the reader's buffer.
      {"pcm16_stereo_past_the_first_read", pcm16_wav(2, ramp(2 * 17000))},
      {"pcm16_with_a_large_tag_chunk",
       with_chunk_before_data(pcm16_wav(1, ramp(4)), "LIST", 70001)},
      {"float32_mono", float32_wav(1, noise(6, 1))},
      {"float32_stereo_with_chunks", float32_wav_with_chunks(2, noise(8, 2))},
      {"pcm16_cut_short", cut_short},
      {"pcm16_huge_data_size", canonical_wav(2, 44100, 16, four_samples, 0x7FFFFFF0)},
      {"float32_negative_data_size", canonical_wav(1, 48000, 32, four_samples, -8)},
      {"pcm16_no_data", canonical_wav(1, 44100, 16, {}, 0)},
      {"pcm24_refused", canonical_wav(1, 44100, 24, four_samples, 6)},
      {"three_channels_refused", canonical_wav(3, 44100, 16, four_samples, 6)},
      {"header_one_byte_short", short_header},
  };
}

bytes record_bytes(const settings_record& record, std::size_t size) {
  bytes out(sizeof record);
  std::memcpy(out.data(), &record, sizeof record);
  out.resize(size, 0x5A);
  return out;
}

std::vector<std::pair<std::string, bytes>> settings_seeds() {
  settings_record stored{};
  stored.gain = 0.75f;
  std::strcpy(stored.impulse_path, "C:\\Impulses\\\xB4\xF3\xCC\xFC.wav");  // 大厅: code page 936
  stored.show_at_startup = 0;
  stored.power = 2;
  settings_record unterminated = stored;
  std::memset(unterminated.impulse_path, 'p', sizeof unterminated.impulse_path);
  return {
      {"whole_record", record_bytes(stored, sizeof stored)},
      {"gain_only", record_bytes(stored, 4)},
      {"cut_inside_the_path", record_bytes(stored, 100)},
      {"longer_than_a_record", record_bytes(stored, 300)},
      {"path_without_terminator", record_bytes(unterminated, sizeof unterminated)},
      {"empty", {}},
  };
}

void write_seeds(const fs::path& folder, const std::vector<std::pair<std::string, bytes>>& seeds) {
  fs::create_directories(folder);
  for (const auto& [name, content] : seeds) write_bytes((folder / name).string(), content);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  write_seeds(root / "impulse_load", impulse_seeds());
  write_seeds(root / "impulse_info", impulse_seeds());
  write_seeds(root / "settings_file", settings_seeds());
  return 0;
}
