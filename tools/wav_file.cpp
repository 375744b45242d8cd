#include "tools/wav_file.h"

#include <cstring>

namespace {

constexpr std::uint16_t format_pcm = 1;
constexpr std::uint16_t format_float = 3;

std::uint16_t get_u16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t get_u32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void put_u16(unsigned char* p, std::uint32_t value) {
  p[0] = static_cast<unsigned char>(value);
  p[1] = static_cast<unsigned char>(value >> 8);
}

void put_u32(unsigned char* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(value >> (8 * i));
}

void fill_header(unsigned char (&header)[44], std::uint16_t format_code, const wav_format& format,
                 std::uint32_t data_bytes) {
  const std::uint32_t block_align =
      static_cast<std::uint32_t>(format.channels * format.bits_per_sample / 8);
  std::memcpy(header, "RIFF", 4);
  put_u32(header + 4, 36 + data_bytes);
  std::memcpy(header + 8, "WAVEfmt ", 8);
  put_u32(header + 16, 16);
  put_u16(header + 20, format_code);
  put_u16(header + 22, static_cast<std::uint32_t>(format.channels));
  put_u32(header + 24, static_cast<std::uint32_t>(format.sample_rate));
  put_u32(header + 28, static_cast<std::uint32_t>(format.sample_rate) * block_align);
  put_u16(header + 32, block_align);
  put_u16(header + 34, static_cast<std::uint32_t>(format.bits_per_sample));
  std::memcpy(header + 36, "data", 4);
  put_u32(header + 40, data_bytes);
}

}  // namespace

wav_reader::~wav_reader() {
  if (file_ != nullptr) std::fclose(file_);
}

bool wav_reader::open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr) {
    error_ = "cannot open " + path;
    return false;
  }
  unsigned char riff[12];
  if (std::fread(riff, 1, sizeof riff, file_) != sizeof riff || std::memcmp(riff, "RIFF", 4) != 0 ||
      std::memcmp(riff + 8, "WAVE", 4) != 0) {
    error_ = path + " is not a RIFF WAVE file";
    return false;
  }
  bool have_format = false;
  for (;;) {
    unsigned char chunk[8];
    if (std::fread(chunk, 1, sizeof chunk, file_) != sizeof chunk) {
      error_ = path + " has no data chunk";
      return false;
    }
    const std::uint32_t size = get_u32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      unsigned char fmt[16];
      if (size < sizeof fmt || std::fread(fmt, 1, sizeof fmt, file_) != sizeof fmt) {
        error_ = path + " has a short fmt chunk";
        return false;
      }
      const std::uint16_t code = get_u16(fmt);
      format_.channels = get_u16(fmt + 2);
      format_.sample_rate = static_cast<std::int32_t>(get_u32(fmt + 4));
      format_.bits_per_sample = get_u16(fmt + 14);
      // WAVE_FORMAT_EXTENSIBLE (0xFFFE) carries PCM too; its sub-format is not checked.
      if ((code != format_pcm && code != 0xFFFE) || format_.bits_per_sample != 16 ||
          (format_.channels != 1 && format_.channels != 2)) {
        error_ = path + " is not 16-bit PCM with 1 or 2 channels";
        return false;
      }
      have_format = true;
      if (std::fseek(file_, static_cast<long>(size - sizeof fmt + (size & 1)), SEEK_CUR) != 0) {
        error_ = path + " is cut short";
        return false;
      }
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!have_format) {
        error_ = path + " has its data before its format";
        return false;
      }
      total_frames_ = size / (2 * static_cast<std::uint32_t>(format_.channels));
      frames_left_ = total_frames_;
      return true;
    } else if (std::fseek(file_, static_cast<long>(size + (size & 1)), SEEK_CUR) != 0) {
      error_ = path + " is cut short";
      return false;
    }
  }
}

std::int32_t wav_reader::read(std::int16_t* samples, std::int32_t frames) {
  if (file_ == nullptr || frames <= 0 || frames_left_ <= 0) return 0;
  const std::int64_t wanted = frames < frames_left_ ? frames : frames_left_;
  // Little-endian on disk and in memory on every Windows system.
  const std::size_t got = std::fread(samples, 2 * static_cast<std::size_t>(format_.channels),
                                     static_cast<std::size_t>(wanted), file_);
  frames_left_ = got == static_cast<std::size_t>(wanted) ? frames_left_ - wanted : 0;
  return static_cast<std::int32_t>(got);
}

wav_writer::~wav_writer() { close(); }

bool wav_writer::open(const std::string& path, const wav_format& format) {
  format_ = format;
  format_.bits_per_sample = 16;
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) return false;
  unsigned char header[44];
  fill_header(header, format_pcm, format_, 0);
  failed_ = std::fwrite(header, 1, sizeof header, file_) != sizeof header;
  return !failed_;
}

bool wav_writer::write(const std::int16_t* samples, std::int32_t frames) {
  if (file_ == nullptr || frames <= 0) return file_ != nullptr;
  const std::size_t written = std::fwrite(samples, 2 * static_cast<std::size_t>(format_.channels),
                                          static_cast<std::size_t>(frames), file_);
  frames_written_ += static_cast<std::int64_t>(written);
  if (written != static_cast<std::size_t>(frames)) failed_ = true;
  return !failed_;
}

bool wav_writer::close() {
  if (file_ == nullptr) return !failed_;
  unsigned char header[44];
  const std::int64_t data_bytes = frames_written_ * 2 * format_.channels;
  if (data_bytes > 0xFFFFFFFFll - 36) failed_ = true;
  fill_header(header, format_pcm, format_, static_cast<std::uint32_t>(data_bytes));
  if (std::fseek(file_, 0, SEEK_SET) != 0 ||
      std::fwrite(header, 1, sizeof header, file_) != sizeof header) {
    failed_ = true;
  }
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  return !failed_;
}

std::vector<unsigned char> wav_file_bytes(const wav_format& format, const void* data,
                                          std::uint32_t data_bytes) {
  unsigned char header[44];
  fill_header(header, format.bits_per_sample == 32 ? format_float : format_pcm, format, data_bytes);
  std::vector<unsigned char> bytes(sizeof header + data_bytes);
  std::memcpy(bytes.data(), header, sizeof header);
  if (data_bytes > 0) std::memcpy(bytes.data() + sizeof header, data, data_bytes);
  return bytes;
}

namespace {

bool write_whole_file(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

bool write_pcm16_wav(const std::string& path, std::int32_t channels, std::int32_t sample_rate,
                     const std::vector<std::int16_t>& samples) {
  const wav_format format{channels, sample_rate, 16};
  return write_whole_file(
      path, wav_file_bytes(format, samples.data(), static_cast<std::uint32_t>(samples.size() * 2)));
}

bool write_float_wav(const std::string& path, std::int32_t channels, std::int32_t sample_rate,
                     const std::vector<float>& samples) {
  const wav_format format{channels, sample_rate, 32};
  return write_whole_file(
      path, wav_file_bytes(format, samples.data(), static_cast<std::uint32_t>(samples.size() * 4)));
}

bool read_pcm16_wav(const std::string& path, wav_format& format,
                    std::vector<std::int16_t>& samples) {
  wav_reader reader;
  if (!reader.open(path)) return false;
  format = reader.format();
  samples.assign(static_cast<std::size_t>(reader.total_frames() * format.channels), 0);
  const std::int64_t frames = reader.total_frames();
  std::int64_t done = 0;
  while (done < frames) {
    const std::int64_t chunk = frames - done < (1 << 20) ? frames - done : (1 << 20);
    const std::int32_t got =
        reader.read(samples.data() + done * format.channels, static_cast<std::int32_t>(chunk));
    if (got <= 0) break;
    done += got;
  }
  samples.resize(static_cast<std::size_t>(done * format.channels));
  return done == frames;
}
