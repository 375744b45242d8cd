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

// Format codes of the "fmt " chunk. An extensible format names its real code
// in the first two bytes of its sub-format.
constexpr std::uint16_t wav_format_integer = 1;
constexpr std::uint16_t wav_format_extensible = 0xFFFE;

struct wav_header {
  std::int16_t channels;
  std::int32_t sample_rate;
  std::int16_t bits_per_sample;
  std::int32_t data_size;     // bytes, as the file states them (signed)
  std::uint32_t data_offset;  // where the first sample byte lies
  // What the samples are: the format code, or an extensible format's
  // sub-format code (the extensible code itself where the chunk is too short
  // to name one).
  std::uint16_t sample_format;
};

// Why the engine does not take an impulse file with this header.
enum class impulse_refusal {
  none,
  sample_width,    // bits per sample neither 16 nor 32
  channel_count,   // neither 1 nor 2 channels
  integer_32_bit,  // 32-bit samples that the format says are integers
  no_whole_frame,  // the data size promises no whole frame
};
impulse_refusal refusal_of(const wav_header& header);

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
