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

enum class header_read { parsed, not_opened, too_short };

// The header of the file at path, found the way the engine finds it, with the
// file opened in the mode given.
header_read read_impulse_header(const char* path, const char* mode, wav_header* header) {
  std::FILE* file = std::fopen(path, mode);
  if (file == nullptr) return header_read::not_opened;
  const bool parsed = parse_wav_header(wav_source{file, read_stream_at}, header);
  std::fclose(file);
  return parsed ? header_read::parsed : header_read::too_short;
}

// Why the engine does not use the file: the header's reason, or, where the
// header is one it takes, only that it is not loaded (the plug-in is not
// running, memory ran out, or the file changed since).
void append_refusal_reason(char* text, std::size_t size, const char* path) {
  wav_header header{};
  // Read-only, as the engine opens it: a file the dialog may not update can
  // still be one the engine reads.
  switch (read_impulse_header(path, "rb", &header)) {
    case header_read::not_opened:
      append_text(text, size, "文件无法打开");
      return;
    case header_read::too_short:
      append_text(text, size, "文件太短，不是WAV文件");
      return;
    case header_read::parsed:
      break;
  }
  switch (refusal_of(header)) {
    case impulse_refusal::sample_width:
      append_text(text, size, "不支持%d位样本（只支持16位整数和32位浮点）",
                  int{header.bits_per_sample});
      return;
    case impulse_refusal::channel_count:
      append_text(text, size, "不支持%d个通道（只支持1或2个）", int{header.channels});
      return;
    case impulse_refusal::integer_32_bit:
      append_text(text, size, "不支持32位整数样本（只支持16位整数和32位浮点）");
      return;
    case impulse_refusal::no_whole_frame:
      append_text(text, size, "数据中没有完整的样本帧");
      return;
    case impulse_refusal::none:
      break;
  }
  append_text(text, size, "文件格式可用，但当前未载入");
}

}  // namespace

std::int32_t format_impulse_info(const char* path, impulse_info_record* info, char* text,
                                 std::int32_t size) {
  if (text == nullptr || size <= 0) return 0;
  std::memset(text, 0, static_cast<std::size_t>(size));
  if (size < impulse_info_min_text_size || path == nullptr || info == nullptr) return 0;

  wav_header header{};
  if (read_impulse_header(path, "r+b", &header) != header_read::parsed) return 0;
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

std::int32_t format_unused_impulse_info(const char* path, char* text, std::int32_t size) {
  if (text == nullptr || size <= 0) return 0;
  std::memset(text, 0, static_cast<std::size_t>(size));
  if (size < impulse_info_min_text_size) return 0;
  const std::size_t bound = static_cast<std::size_t>(size);
  append_text(text, bound, "脉冲样本未载入，没有混响:\r\n");
  append_refusal_reason(text, bound, path != nullptr ? path : "");
  return 1;
}
