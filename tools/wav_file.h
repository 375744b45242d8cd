#pragma once
// 16-bit PCM WAV files, read and written a block at a time.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct wav_format {
  std::int32_t channels = 0;
  std::int32_t sample_rate = 0;
  std::int32_t bits_per_sample = 0;
};

// Reads the samples of a 16-bit PCM WAV file. The chunks before "data" are
// walked, so files with extra chunks (LIST, fact, ...) are read as well.
class wav_reader {
 public:
  wav_reader() = default;
  ~wav_reader();
  wav_reader(const wav_reader&) = delete;
  wav_reader& operator=(const wav_reader&) = delete;

  // False, with a message in error(), when the file cannot be read or is not
  // 16-bit PCM with 1 or 2 channels.
  bool open(const std::string& path);
  const wav_format& format() const { return format_; }
  std::int64_t total_frames() const { return total_frames_; }
  // Reads up to frames frames into samples; returns the frames read, 0 at the end.
  std::int32_t read(std::int16_t* samples, std::int32_t frames);
  const std::string& error() const { return error_; }

 private:
  std::FILE* file_ = nullptr;
  wav_format format_;
  std::int64_t total_frames_ = 0;
  std::int64_t frames_left_ = 0;
  std::string error_;
};

// Writes a canonical 44-byte-header WAV file; the sizes are filled in at close.
class wav_writer {
 public:
  wav_writer() = default;
  ~wav_writer();
  wav_writer(const wav_writer&) = delete;
  wav_writer& operator=(const wav_writer&) = delete;

  bool open(const std::string& path, const wav_format& format);
  bool write(const std::int16_t* samples, std::int32_t frames);
  // Completes the header. False when anything failed to reach the file.
  bool close();

 private:
  std::FILE* file_ = nullptr;
  wav_format format_;
  std::int64_t frames_written_ = 0;
  bool failed_ = false;
};

// The canonical 44-byte header followed by the sample bytes, in memory.
std::vector<unsigned char> wav_file_bytes(const wav_format& format, const void* data,
                                          std::uint32_t data_bytes);
// Whole-file helpers.
bool write_pcm16_wav(const std::string& path, std::int32_t channels, std::int32_t sample_rate,
                     const std::vector<std::int16_t>& samples);
bool write_float_wav(const std::string& path, std::int32_t channels, std::int32_t sample_rate,
                     const std::vector<float>& samples);
bool read_pcm16_wav(const std::string& path, wav_format& format,
                    std::vector<std::int16_t>& samples);
