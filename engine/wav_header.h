#pragma once
// The impulse file header: the four fields the engine and the information text
// use, read the same way by both so they never disagree about a file.
#include <cstddef>
#include <cstdint>

// How many bytes from the start of a file the header parser looks at. Chunks
// that editors put before the samples ("LIST", "fact", "PEAK") fit easily.
constexpr std::size_t wav_prefix_bytes = 65536;
constexpr std::size_t wav_canonical_header_bytes = 44;

struct wav_header {
  std::int16_t channels;
  std::int32_t sample_rate;
  std::int16_t bits_per_sample;
  std::int32_t data_size;     // bytes, as the file states them (signed)
  std::uint32_t data_offset;  // where the first sample byte lies
};

// Parses the first `count` bytes of a file. A canonical file (the data tag at
// byte 36) is read at its fixed offsets, samples from byte 44. Any other file
// has its RIFF chunks walked for a "fmt " chunk and a "data" chunk; when that
// walk finds no usable pair, the fixed offsets are used after all. Returns
// false only for fewer than 44 bytes.
bool parse_wav_header(const unsigned char* bytes, std::size_t count, wav_header* header);

// data size / (bits per sample / 8) / channels in signed 32-bit division,
// truncating toward zero. 0 where a divisor is 0 or a division would overflow.
std::int32_t wav_frame_count(const wav_header& header);
