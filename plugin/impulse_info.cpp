#include "plugin/impulse_info.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/engine.h"
#include "engine/wav_header.h"
#include "plugin/bounded_text.h"

impulse_info_record impulse_info{};

namespace {

// The header of the file at path, read the way the engine reads it. False when
// the file does not open for reading and update or is too short for a header.
bool read_impulse_header(const char* path, wav_header* header) {
  std::FILE* file = std::fopen(path, "r+b");
  if (file == nullptr) return false;
  unsigned char* prefix = static_cast<unsigned char*>(std::malloc(wav_prefix_bytes));
  std::size_t count = 0;
  if (prefix != nullptr) count = std::fread(prefix, 1, wav_prefix_bytes, file);
  std::fclose(file);
  const bool parsed = prefix != nullptr && parse_wav_header(prefix, count, header);
  std::free(prefix);
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
