#pragma once
// The impulse file header: the four fields the engine and the information text
// use, found the same way by both so they never disagree about a file.
#include <cstddef>
#include <cstdint>

constexpr std::size_t wav_canonical_header_bytes = 44;
// The chunk walk stays within the first 2 GiB, where every file position fits
// the signed 32-bit offsets of both the Windows file calls and the C runtime's.
constexpr std::uint32_t wav_walk_limit = 0x7FFFFFFF;
// Real files have a handful of chunks; a file of millions of empty ones must
// not keep a load (and the playback waiting for it) busy for minutes.
constexpr int wav_walk_most_chunks = 65536;

struct wav_header {
  std::int16_t channels;
  std::int32_t sample_rate;
  std::int16_t bits_per_sample;
  std::int32_t data_size;     // bytes, as the file states them (signed)
  std::uint32_t data_offset;  // where the first sample byte lies
};

// Random access to a file: read_at delivers up to `count` bytes from `offset`
// into `out` and returns how many it delivered (fewer, or none, past the end).
struct wav_source {
  void* file;
  std::size_t (*read_at)(void* file, std::uint32_t offset, unsigned char* out, std::size_t count);
};

// Reads the header of a file. A canonical file (the data tag at byte 36) is
// read at its fixed offsets, samples from byte 44. Any other file has its RIFF
// chunks walked, header to header, for a "fmt " chunk and a "data" chunk; no
// chunk body is read but the format's. When the walk finds no usable pair, the
// fixed offsets are used after all. Returns false only for files shorter than
// 44 bytes.
bool parse_wav_header(const wav_source& source, wav_header* header);
// The same for a file held in memory.
bool parse_wav_header(const unsigned char* bytes, std::size_t count, wav_header* header);

// data size / (bits per sample / 8) / channels in signed 32-bit division,
// truncating toward zero. 0 where a divisor is 0 or a division would overflow.
std::int32_t wav_frame_count(const wav_header& header);
