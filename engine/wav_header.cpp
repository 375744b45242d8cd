#include "engine/wav_header.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

std::uint32_t read_u32(const unsigned char* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

std::int32_t read_i32(const unsigned char* p) { return static_cast<std::int32_t>(read_u32(p)); }

std::uint16_t read_u16(const unsigned char* p) {
  return static_cast<std::uint16_t>(std::uint16_t(p[0]) | std::uint16_t(p[1]) << 8);
}

std::int16_t read_i16(const unsigned char* p) { return static_cast<std::int16_t>(read_u16(p)); }

bool has_tag(const unsigned char* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

bool read_exactly(const wav_source& source, std::uint64_t offset, unsigned char* out,
                  std::size_t count) {
  if (offset + count > wav_walk_limit) return false;
  return source.read_at(source.file, static_cast<std::uint32_t>(offset), out, count) == count;
}

void read_fixed_offsets(const unsigned char* bytes, wav_header* header) {
  header->sample_format = read_u16(bytes + 20);
  header->channels = read_i16(bytes + 22);
  header->sample_rate = read_i32(bytes + 24);
  header->bits_per_sample = read_i16(bytes + 34);
  header->data_size = read_i32(bytes + 40);
  header->data_offset = wav_canonical_header_bytes;
}

// Walks the chunks behind "RIFF....WAVE" by their headers alone, skipping every
// body but the format's, however large (embedded tags, cover art).
bool walk_chunks(const wav_source& source, const unsigned char* start, wav_header* header) {
  if (!has_tag(start, "RIFF") || !has_tag(start + 8, "WAVE")) return false;
  bool have_format = false;
  wav_header found{};
  std::uint64_t at = 12;
  for (int chunk = 0; chunk < wav_walk_most_chunks; ++chunk) {
    unsigned char chunk_header[8];
    if (!read_exactly(source, at, chunk_header, sizeof chunk_header)) return false;
    const std::uint32_t size = read_u32(chunk_header + 4);
    if (has_tag(chunk_header, "fmt ")) {
      unsigned char format[16];
      if (size < 16 || !read_exactly(source, at + 8, format, sizeof format)) return false;
      found.sample_format = read_u16(format);
      // The sub-format's code stands 24 bytes into an extensible format.
      unsigned char code[2];
      if (found.sample_format == wav_format_extensible && size >= 26 &&
          read_exactly(source, at + 8 + 24, code, sizeof code)) {
        found.sample_format = read_u16(code);
      }
      found.channels = read_i16(format + 2);
      found.sample_rate = read_i32(format + 4);
      found.bits_per_sample = read_i16(format + 14);
      have_format = true;
    } else if (has_tag(chunk_header, "data")) {
      if (!have_format) return false;
      found.data_size = static_cast<std::int32_t>(size);
      found.data_offset = static_cast<std::uint32_t>(at + 8);
      *header = found;
      return true;
    }
    // Chunk bodies are padded to an even length.
    at += 8 + std::uint64_t(size) + (size & 1u);
  }
  return false;
}

struct memory_file {
  const unsigned char* bytes;
  std::size_t count;
};

std::size_t read_memory_at(void* file, std::uint32_t offset, unsigned char* out,
                           std::size_t count) {
  const auto* memory = static_cast<const memory_file*>(file);
  if (offset >= memory->count) return 0;
  const std::size_t delivered = std::min(count, memory->count - offset);
  std::memcpy(out, memory->bytes + offset, delivered);
  return delivered;
}

}  // namespace

bool parse_wav_header(const wav_source& source, wav_header* header) {
  unsigned char start[wav_canonical_header_bytes];
  if (!read_exactly(source, 0, start, sizeof start)) return false;
  if (!has_tag(start + 36, "data") && walk_chunks(source, start, header)) return true;
  read_fixed_offsets(start, header);
  return true;
}

bool parse_wav_header(const unsigned char* bytes, std::size_t count, wav_header* header) {
  memory_file memory{bytes, count};
  return parse_wav_header(wav_source{&memory, read_memory_at}, header);
}

std::int32_t wav_frame_count(const wav_header& header) {
  std::int32_t bytes_per_sample = header.bits_per_sample / 8;
  if (bytes_per_sample == 0 || header.channels == 0) return 0;
  if (header.data_size == INT_MIN && bytes_per_sample == -1) return 0;
  std::int32_t samples = header.data_size / bytes_per_sample;
  if (samples == INT_MIN && header.channels == -1) return 0;
  return samples / header.channels;
}

impulse_refusal refusal_of(const wav_header& header) {
  if (header.bits_per_sample != 16 && header.bits_per_sample != 32) {
    return impulse_refusal::sample_width;
  }
  if (header.channels != 1 && header.channels != 2) return impulse_refusal::channel_count;
  // 32-bit samples are read as floats; only a file that says they are
  // integers is refused, so float files that name no code still load.
  if (header.bits_per_sample == 32 && header.sample_format == wav_format_integer) {
    return impulse_refusal::integer_32_bit;
  }
  if (wav_frame_count(header) < 1) return impulse_refusal::no_whole_frame;
  return impulse_refusal::none;
}
