#include "engine/wav_header.h"

#include <climits>
#include <cstring>

namespace {

std::uint32_t read_u32(const unsigned char* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

std::int32_t read_i32(const unsigned char* p) { return static_cast<std::int32_t>(read_u32(p)); }

std::int16_t read_i16(const unsigned char* p) {
  return static_cast<std::int16_t>(std::uint16_t(p[0]) | std::uint16_t(p[1]) << 8);
}

bool has_tag(const unsigned char* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

void read_fixed_offsets(const unsigned char* bytes, wav_header* header) {
  header->channels = read_i16(bytes + 22);
  header->sample_rate = read_i32(bytes + 24);
  header->bits_per_sample = read_i16(bytes + 34);
  header->data_size = read_i32(bytes + 40);
  header->data_offset = wav_canonical_header_bytes;
}

// Walks the chunks behind "RIFF....WAVE". Both chunk headers (and the format
// fields) must lie within the bytes given.
bool walk_chunks(const unsigned char* bytes, std::size_t count, wav_header* header) {
  if (count < 12 || !has_tag(bytes, "RIFF") || !has_tag(bytes + 8, "WAVE")) return false;
  bool have_format = false;
  wav_header found{};
  std::size_t at = 12;
  while (at + 8 <= count) {
    const unsigned char* chunk = bytes + at;
    std::uint32_t size = read_u32(chunk + 4);
    if (has_tag(chunk, "fmt ")) {
      if (size < 16 || at + 8 + 16 > count) return false;
      found.channels = read_i16(chunk + 8 + 2);
      found.sample_rate = read_i32(chunk + 8 + 4);
      found.bits_per_sample = read_i16(chunk + 8 + 14);
      have_format = true;
    } else if (has_tag(chunk, "data")) {
      if (!have_format) return false;
      found.data_size = read_i32(chunk + 4);
      found.data_offset = static_cast<std::uint32_t>(at + 8);
      *header = found;
      return true;
    }
    // Chunk bodies are padded to an even length.
    std::uint64_t next = std::uint64_t(at) + 8 + size + (size & 1u);
    if (next >= count) return false;
    at = static_cast<std::size_t>(next);
  }
  return false;
}

}  // namespace

bool parse_wav_header(const unsigned char* bytes, std::size_t count, wav_header* header) {
  if (count < wav_canonical_header_bytes) return false;
  if (!has_tag(bytes + 36, "data") && walk_chunks(bytes, count, header)) return true;
  read_fixed_offsets(bytes, header);
  return true;
}

std::int32_t wav_frame_count(const wav_header& header) {
  std::int32_t bytes_per_sample = header.bits_per_sample / 8;
  if (bytes_per_sample == 0 || header.channels == 0) return 0;
  if (header.data_size == INT_MIN && bytes_per_sample == -1) return 0;
  std::int32_t samples = header.data_size / bytes_per_sample;
  if (samples == INT_MIN && header.channels == -1) return 0;
  return samples / header.channels;
}
