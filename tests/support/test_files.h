#pragma once
// Helpers the tests share: temporary files, WAV files to read, and a reference
// convolution computed the slow, obvious way.
#include <cstdint>
#include <string>
#include <vector>

// A fresh directory for one test, removed with everything in it at destruction.
class temp_dir {
 public:
  temp_dir();
  ~temp_dir();
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;
  std::string file(const std::string& name) const;

 private:
  std::string path_;
};

void write_bytes(const std::string& path, const std::vector<unsigned char>& bytes);

// Canonical 44-byte header followed by the sample bytes.
std::vector<unsigned char> canonical_wav(int channels, int sample_rate, int bits,
                                         const std::vector<unsigned char>& data,
                                         std::int32_t data_size_field);
std::vector<unsigned char> pcm16_wav(int channels, const std::vector<std::int16_t>& samples);
std::vector<unsigned char> float32_wav(int channels, const std::vector<float>& samples);
// The same file with another format code in its canonical header.
std::vector<unsigned char> with_format_code(std::vector<unsigned char> wav, std::uint16_t code);
// An extensible-format WAV (a 40-byte "fmt " chunk) whose sub-format is `code`.
std::vector<unsigned char> extensible_wav(int channels, int bits, std::uint16_t code,
                                          const std::vector<unsigned char>& data);
// A float WAV as common tools write it: an 18-byte "fmt " chunk, then "fact",
// "PEAK" and "LIST" chunks before "data".
std::vector<unsigned char> float32_wav_with_chunks(int channels, const std::vector<float>& samples);
// A canonical WAV with a chunk of `body_bytes` bytes (0x55, padded to even)
// between its format and its data, as recorders put tags or cover art there.
std::vector<unsigned char> with_chunk_before_data(std::vector<unsigned char> wav, const char* tag,
                                                  std::uint32_t body_bytes);

// Deterministic pseudo-random values in [-1, 1).
std::vector<float> noise(std::size_t count, std::uint32_t seed);

// Linear convolution of a signal with an impulse, in double precision.
std::vector<double> direct_convolution(const std::vector<double>& signal,
                                       const std::vector<double>& impulse);
