#include "engine/impulse_reader.h"

#include <algorithm>
#include <cstring>

#include "engine/engine_arrays.h"
#include "engine/wav_header.h"

namespace {

std::size_t read_file_at(void* file, std::uint32_t offset, unsigned char* out, std::size_t count) {
  // Offsets past 2 GiB do not fit the low part; such a position reads nothing.
  if (offset > 0x7FFFFFFFu || SetFilePointer(static_cast<HANDLE>(file), static_cast<LONG>(offset),
                                             nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
    return 0;
  }
  DWORD got = 0;
  ReadFile(static_cast<HANDLE>(file), out, static_cast<DWORD>(count), &got, nullptr);
  return got;
}

// Reads a file forward from an offset, a buffer at a time.
class sample_stream {
 public:
  sample_stream(const wav_source& source, std::uint32_t offset)
      : source_(source), offset_(offset) {}

  // True when all `count` bytes were delivered.
  bool take(unsigned char* out, std::size_t count) {
    for (std::size_t delivered = 0; delivered < count;) {
      if (position_ == length_ && !refill()) return false;
      const std::size_t step = std::min(count - delivered, length_ - position_);
      std::memcpy(out + delivered, buffer_ + position_, step);
      position_ += step;
      delivered += step;
    }
    return true;
  }

 private:
  bool refill() {
    length_ = at_end_ ? 0 : source_.read_at(source_.file, offset_, buffer_, sizeof buffer_);
    at_end_ = length_ < sizeof buffer_;
    offset_ += static_cast<std::uint32_t>(length_);
    position_ = 0;
    return length_ > 0;
  }

  wav_source source_;
  std::uint32_t offset_;
  unsigned char buffer_[16384];
  std::size_t length_ = 0;
  std::size_t position_ = 0;
  bool at_end_ = false;
};

// Decodes frame by frame, channel by channel. Where the file ends before the
// data size says, the samples it does not hold stay silent (the arrays are
// zero-filled): repeating the last value would turn them into a DC plateau.
void decode_samples(sample_stream& stream, const wav_header& header, impulse_samples& samples,
                    float gain) {
  const std::size_t sample_bytes = header.bits_per_sample == 16 ? 2 : 4;
  unsigned char bytes[4];
  for (std::int32_t i = 0; i < samples.frames; ++i) {
    for (std::int32_t c = 0; c < samples.channel_count; ++c) {
      if (!stream.take(bytes, sample_bytes)) return;
      if (sample_bytes == 2) {
        const int value = static_cast<signed char>(bytes[1]) * 256 + bytes[0];
        // value * 2^-15 * gain is exact in double; one rounding to float.
        samples.channels[c][i] = static_cast<float>(value * 0x1p-15 * static_cast<double>(gain));
      } else {
        float sample;
        std::memcpy(&sample, bytes, 4);
        samples.channels[c][i] = static_cast<float>(static_cast<double>(gain) * sample);
      }
    }
  }
}

}  // namespace

std::int32_t transform_length_for(std::int32_t frames) {
  std::int32_t table[20];
  for (int i = 0; i < 20; ++i) table[i] = std::int32_t(1) << i;
  if (frames > 0 && frames < 262144) {
    std::int32_t doubled = 2 * frames;
    for (int i = 0; i < 19; ++i)
      if (table[i] <= doubled && doubled < table[i + 1]) return table[i + 1];
  }
  return table[19];
}

std::int32_t chosen_transform_length(std::int32_t frames) {
  return std::max(transform_length_for(frames), requested_length);
}

int read_impulse_wav(const char* path, float gain, impulse_samples* samples) {
  *samples = impulse_samples{};
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;

  const wav_source source{file, read_file_at};
  wav_header header{};
  impulse_samples read{};
  if (parse_wav_header(source, &header) && refusal_of(header) == impulse_refusal::none) {
    read.channel_count = header.channels;
    read.frames = std::min(wav_frame_count(header), max_impulse_frames);
    read.channels = alloc_channel_blocks(read.handles, read.channel_count,
                                         static_cast<std::size_t>(read.frames));
  }
  if (read.channels != nullptr) {
    sample_stream stream(source, header.data_offset);
    decode_samples(stream, header, read, gain);
  }
  CloseHandle(file);
  if (read.channels == nullptr) return 0;
  *samples = read;
  return 1;
}

void free_impulse_samples(impulse_samples& samples) {
  free_channel_blocks(samples.channels, samples.handles, samples.channel_count);
  samples = impulse_samples{};
}

void adopt_impulse(engine_record& engine, impulse_samples& samples, const char* path,
                   std::int32_t length) {
  char new_path[path_capacity] = {};
  std::strncpy(new_path, path, path_capacity - 1);
  free_impulse_arrays(engine);
  engine.impulse = samples.channels;
  engine.impulse_handles[0] = samples.handles[0];
  engine.impulse_handles[1] = samples.handles[1];
  engine.impulse_channels = samples.channel_count;
  engine.impulse_frames = samples.frames;
  std::memcpy(engine.loaded_path, new_path, path_capacity);
  __atomic_store_n(&engine.transform_length, length, __ATOMIC_RELAXED);
  requested_length = 0;
  samples = impulse_samples{};
}
