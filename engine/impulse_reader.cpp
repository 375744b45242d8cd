#include "engine/impulse_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/engine_arrays.h"
#include "engine/wav_header.h"

namespace {

// Reads a file front to back in large chunks. Like single reads at the end of a
// file, a request past the end delivers fewer bytes, or none.
class chunked_file {
 public:
  explicit chunked_file(HANDLE file) : file_(file), buffer_(wav_prefix_bytes) {}

  // Fills the buffer with the first bytes of the file; returns how many.
  std::size_t read_prefix() {
    fill();
    return length_;
  }
  const unsigned char* prefix() const { return buffer_.data(); }

  void skip_to(std::uint64_t offset) {
    while (consumed_ + position_ < offset && !exhausted()) {
      std::uint64_t want = offset - consumed_ - position_;
      std::size_t step =
          static_cast<std::size_t>(std::min<std::uint64_t>(want, length_ - position_));
      position_ += step;
      if (position_ == length_) fill();
    }
  }

  // Copies up to `count` bytes into `out`; returns how many were delivered.
  std::size_t take(unsigned char* out, std::size_t count) {
    std::size_t delivered = 0;
    while (delivered < count) {
      if (position_ == length_) {
        if (at_end_) break;
        fill();
        if (length_ == 0) break;
      }
      std::size_t step = std::min(count - delivered, length_ - position_);
      std::memcpy(out + delivered, buffer_.data() + position_, step);
      position_ += step;
      delivered += step;
    }
    return delivered;
  }

 private:
  bool exhausted() const { return at_end_ && position_ == length_; }

  void fill() {
    consumed_ += length_;
    DWORD got = 0;
    if (!at_end_)
      ReadFile(file_, buffer_.data(), static_cast<DWORD>(buffer_.size()), &got, nullptr);
    if (got < buffer_.size()) at_end_ = true;
    length_ = got;
    position_ = 0;
  }

  HANDLE file_;
  std::vector<unsigned char> buffer_;
  std::size_t length_ = 0;
  std::size_t position_ = 0;
  std::uint64_t consumed_ = 0;
  bool at_end_ = false;
};

// Decodes the samples one at a time, frame by frame, channel by channel. The
// decoding buffers are shared by every sample, so once the file ends each
// further sample repeats what the last partial read left in them; before any
// sample byte they hold zeros.
void decode_samples(chunked_file& file, const wav_header& header, float** channels,
                    std::int32_t frames, float gain) {
  const std::int32_t channel_count = header.channels;
  if (header.bits_per_sample == 16) {
    unsigned char low = 0;
    unsigned char high = 0;
    for (std::int32_t i = 0; i < frames; ++i) {
      for (std::int32_t c = 0; c < channel_count; ++c) {
        file.take(&low, 1);
        file.take(&high, 1);
        int value = static_cast<signed char>(high) * 256 + low;
        // value * 2^-15 * gain is exact in double; one rounding to float.
        channels[c][i] = static_cast<float>(value * 0x1p-15 * static_cast<double>(gain));
      }
    }
  } else {
    unsigned char bytes[4] = {0, 0, 0, 0};
    for (std::int32_t i = 0; i < frames; ++i) {
      for (std::int32_t c = 0; c < channel_count; ++c) {
        file.take(bytes, 4);
        float sample;
        std::memcpy(&sample, bytes, 4);
        channels[c][i] = static_cast<float>(static_cast<double>(gain) * sample);
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

int read_impulse_wav(const char* path, engine_record& engine) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;

  chunked_file reader(file);
  wav_header header{};
  std::size_t prefix_length = reader.read_prefix();
  bool accepted = parse_wav_header(reader.prefix(), prefix_length, &header) &&
                  (header.bits_per_sample == 16 || header.bits_per_sample == 32) &&
                  (header.channels == 1 || header.channels == 2) && wav_frame_count(header) >= 0;
  const std::int32_t channel_count = header.channels;
  const std::int32_t frames = std::min(wav_frame_count(header), max_impulse_frames);

  HGLOBAL handles[2] = {nullptr, nullptr};
  float** channels = accepted ? alloc_channel_blocks(handles, channel_count, frames) : nullptr;
  if (channels == nullptr) {
    CloseHandle(file);
    return 0;
  }

  reader.skip_to(header.data_offset);
  decode_samples(reader, header, channels, frames, engine.impulse_gain);
  CloseHandle(file);

  // Only now, with the new impulse complete, does the old one go.
  char new_path[path_capacity] = {};
  std::strncpy(new_path, path, path_capacity - 1);
  free_impulse_arrays(engine);
  engine.impulse = channels;
  engine.impulse_handles[0] = handles[0];
  engine.impulse_handles[1] = handles[1];
  engine.impulse_channels = channel_count;
  engine.impulse_frames = frames;
  std::memcpy(engine.loaded_path, new_path, path_capacity);

  // A pending request is a minimum: the impulse's own length wins when longer.
  std::int32_t length = std::max(transform_length_for(frames), requested_length);
  __atomic_store_n(&engine.transform_length, length, __ATOMIC_RELAXED);
  requested_length = 0;
  return 1;
}
