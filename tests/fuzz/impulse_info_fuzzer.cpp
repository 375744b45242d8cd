// Arbitrary bytes as the impulse file the settings dialog describes. Every
// file of 44 bytes or more is described, in three lines that fit the smallest
// buffer allowed; a shorter one, or a buffer one byte too small, gives nothing
// but NULs and leaves the record alone. The text for a file the engine did not
// load is made for every file.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "engine/wav_header.h"
#include "plugin/impulse_info.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool only_nuls(const char* text, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i)
    if (text[i] != '\0') return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = fuzz_scratch_folder().file("impulse.wav");
  write_fuzz_file(path, data, size);

  // Buffers of exactly the size passed, on the heap, so that the address
  // sanitizer sees any byte written past them.
  constexpr std::int32_t smallest = impulse_info_min_text_size;
  std::unique_ptr<char[]> text(new char[smallest]);
  impulse_info_record info{-1, -1, -1, -1};

  const std::int32_t described = format_impulse_info(path.c_str(), &info, text.get(), smallest);
  const bool whole_header = size >= wav_canonical_header_bytes;
  FUZZ_CHECK(described == (whole_header ? 1 : 0));
  if (described == 0) {
    FUZZ_CHECK(only_nuls(text.get(), smallest));
    FUZZ_CHECK(info.sample_rate == -1 && info.channels == -1 && info.bits == -1 &&
               info.frames == -1);
  } else {
    FUZZ_CHECK(text[smallest - 1] == '\0');
    const std::string described_text(text.get());
    FUZZ_CHECK(described_text.find("\r\n") != std::string::npos);
    FUZZ_CHECK(described_text.rfind("\r\n") < described_text.size() - 2);
    wav_header header{};
    FUZZ_CHECK(parse_wav_header(data, size, &header));
    FUZZ_CHECK(info.channels == header.channels && info.bits == header.bits_per_sample &&
               info.sample_rate == header.sample_rate && info.frames == wav_frame_count(header));
  }

  // Said of the same file when the engine did not load it: two lines, the
  // second a reason, within the smallest buffer.
  FUZZ_CHECK(format_unused_impulse_info(path.c_str(), text.get(), smallest) == 1);
  FUZZ_CHECK(text[smallest - 1] == '\0');
  const std::string unused_text(text.get());
  const std::size_t line_end = unused_text.find("\r\n");
  FUZZ_CHECK(line_end != std::string::npos && line_end + 2 < unused_text.size());

  std::unique_ptr<char[]> too_small(new char[smallest - 1]);
  std::memset(too_small.get(), 'x', smallest - 1);
  const impulse_info_record before = info;
  FUZZ_CHECK(format_impulse_info(path.c_str(), &info, too_small.get(), smallest - 1) == 0);
  FUZZ_CHECK(only_nuls(too_small.get(), smallest - 1));
  FUZZ_CHECK(std::memcmp(&before, &info, sizeof info) == 0);
  FUZZ_CHECK(format_unused_impulse_info(path.c_str(), too_small.get(), smallest - 1) == 0);
  FUZZ_CHECK(only_nuls(too_small.get(), smallest - 1));
  return 0;
}
