#include "plugin/impulse_info.h"

#include <cstdio>
#include <cstring>

#include "engine/engine.h"
#include "engine/wav_header.h"
#include "plugin/bounded_text.h"

impulse_info_record impulse_info{};

namespace {

std::size_t read_stream_at(void* file, std::uint32_t offset, unsigned char* out,
                           std::size_t count) {
  // The header walk never asks beyond 2 GiB, so the offset fits a long.
  auto* stream = static_cast<std::FILE*>(file);
  if (std::fseek(stream, static_cast<long>(offset), SEEK_SET) != 0) return 0;
  return std::fread(out, 1, count, stream);
}

// The header of the file at path, found the way the engine finds it. False
// when the file does not open for reading and update or is too short for a
// header.
bool read_impulse_header(const char* path, wav_header* header) {
  std::FILE* file = std::fopen(path, "r+b");
  if (file == nullptr) return false;
  const bool parsed = parse_wav_header(wav_source{file, read_stream_at}, header);
  std::fclose(file);
  return parsed;
}

}  // namespace

std::int32_t format_impulse_info(const char* path, impulse_info_record* info, char* text,
                                 std::int32_t size) {
  if (text == nullptr || size <= 0) return 0;
  std::memset(text, 0, static_cast<std::size_t>(size));
  if (size < impulse_info_min_text_size || path == nullptr || info == nullptr) return 0;

  wav_header header{};
  if (!read_impulse_header(path, &header)) return 0;
  info->bits = header.bits_per_sample;
  info->channels = header.channels;
  info->sample_rate = header.sample_rate;
  info->frames = wav_frame_count(header);

  const std::size_t bound = static_cast<std::size_t>(size);
  append_text(text, bound, "脉冲样本信息:\r\n");
  append_text(text, bound, "样本数量: %d, 最小FFT: %d, 通道数: %d\r\n", int{info->frames},
              engine_transform_length(), int{info->channels});
  append_text(text, bound, "回馈速率: %d, 位数: %d", int{info->sample_rate}, int{info->bits});
  return 1;
}
