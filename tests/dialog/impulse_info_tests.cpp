// The impulse information text: its exact wording, the header values it shows,
// and every way a description can fail or meet a header that cannot be divided.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "engine/engine.h"
#include "engine/engine_state.h"
#include "platform/win32.h"
#include "plugin/impulse_info.h"
#include "tests/support/test_files.h"

namespace {

constexpr std::int32_t info_text_size = 512;

class impulse_info_test : public testing::Test {
 protected:
  // The engine with no impulse: transform length 0.
  void SetUp() override { engine_init(1.0f, ""); }
  void TearDown() override { engine_release(); }

  // A header with the given fields at the canonical offsets, and no samples.
  std::string header_file(int channels, int sample_rate, int bits, std::int32_t data_size) {
    const std::string path = dir.file("header-" + std::to_string(files++) + ".wav");
    write_bytes(path, canonical_wav(channels, sample_rate, bits, {}, data_size));
    return path;
  }

  std::int32_t describe(const std::string& path) {
    return format_impulse_info(path.c_str(), &info, text, info_text_size);
  }

  temp_dir dir;
  int files = 0;
  impulse_info_record info{};
  char text[info_text_size];
};

// Values that a failed description must leave alone.
constexpr impulse_info_record earlier_info{22050, 1, 32, 77};

bool same_info(const impulse_info_record& a, const impulse_info_record& b) {
  return a.sample_rate == b.sample_rate && a.channels == b.channels && a.bits == b.bits &&
         a.frames == b.frames;
}

bool all_nul(const char* text, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i)
    if (text[i] != '\0') return false;
  return true;
}

}  // namespace

TEST_F(impulse_info_test, describes_a_stereo_file_at_the_engines_transform_length) {
  // 300 frames of 16-bit stereo at 44100 Hz; loading it gives the engine 1024.
  const std::string path = dir.file("stereo.wav");
  write_bytes(path, pcm16_wav(2, std::vector<std::int16_t>(600, 100)));
  ASSERT_EQ(engine_init(1.0f, path.c_str()), 0);
  ASSERT_EQ(engine_transform_length(), 1024);

  ASSERT_EQ(describe(path), 1);
  EXPECT_STREQ(text,
               "脉冲样本信息:\r\n"
               "样本数量: 300, 最小FFT: 1024, 通道数: 2\r\n"
               "回馈速率: 44100, 位数: 16");
  EXPECT_EQ(info.sample_rate, 44100);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.bits, 16);
  EXPECT_EQ(info.frames, 300);
}

TEST_F(impulse_info_test, shows_the_transform_length_the_engine_holds_not_the_files) {
  // Nothing loaded yet: 0. The file described need not be the one loaded.
  const std::string path = header_file(1, 48000, 32, 4000);
  ASSERT_EQ(describe(path), 1);
  EXPECT_NE(std::strstr(text, "样本数量: 1000, 最小FFT: 0, 通道数: 1\r\n"), nullptr) << text;
}

TEST_F(impulse_info_test, frames_follow_the_engines_reader_for_other_layouts) {
  // A float file with "fact", "PEAK" and "LIST" chunks before its samples, and
  // one with a tag chunk of 70001 bytes there: the description and the engine
  // count the same frames at the same rate.
  const std::string chunks = dir.file("chunks.wav");
  const std::string tagged = dir.file("tagged.wav");
  write_bytes(chunks, float32_wav_with_chunks(2, noise(2 * 1500, 7)));
  write_bytes(tagged, with_chunk_before_data(pcm16_wav(1, {1, 2, 3, 4}), "LIST", 70001));
  for (const auto& [path, frames, channels, bits, rate] :
       {std::tuple{chunks, 1500, 2, 32, 48000}, {tagged, 4, 1, 16, 44100}}) {
    ASSERT_EQ(engine_init(1.0f, path.c_str()), 0);
    ASSERT_EQ(describe(path), 1);
    EXPECT_EQ(info.frames, engine_state.impulse_frames);
    EXPECT_EQ(info.frames, frames);
    EXPECT_EQ(info.channels, channels);
    EXPECT_EQ(info.bits, bits);
    EXPECT_EQ(info.sample_rate, rate);
  }
}

TEST_F(impulse_info_test, text_needs_a_buffer_of_256_bytes) {
  const std::string path = header_file(2, 44100, 16, 1200);
  info = earlier_info;
  std::vector<char> small(256, 'x');
  EXPECT_EQ(format_impulse_info(path.c_str(), &info, small.data(), 255), 0);
  EXPECT_TRUE(all_nul(small.data(), 255));
  EXPECT_EQ(small[255], 'x') << "wrote past the size it was given";
  EXPECT_TRUE(same_info(info, earlier_info));

  std::vector<char> exact(256, 'x');
  ASSERT_EQ(format_impulse_info(path.c_str(), &info, exact.data(), 256), 1);
  EXPECT_STREQ(exact.data(),
               "脉冲样本信息:\r\n"
               "样本数量: 300, 最小FFT: 0, 通道数: 2\r\n"
               "回馈速率: 44100, 位数: 16");
}

TEST_F(impulse_info_test, files_that_do_not_open_for_reading_and_update_are_not_described) {
  const std::string missing = dir.file("missing.wav");
  const std::string held = header_file(2, 44100, 16, 1200);
  // Another program holds this one open and shares nothing.
  const HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);

  for (const std::string& path : {missing, held}) {
    info = earlier_info;
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(describe(path), 0) << path;
    EXPECT_TRUE(all_nul(text, sizeof text)) << path;
    EXPECT_TRUE(same_info(info, earlier_info)) << path;
  }
  CloseHandle(holder);
  EXPECT_EQ(describe(held), 1);
}

TEST_F(impulse_info_test, files_shorter_than_a_header_are_not_described) {
  const std::string full = header_file(2, 44100, 16, 1200);
  std::vector<unsigned char> bytes = canonical_wav(2, 44100, 16, {}, 1200);
  ASSERT_EQ(bytes.size(), 44u);
  bytes.pop_back();
  const std::string cut = dir.file("cut.wav");
  write_bytes(cut, bytes);
  const std::string empty = dir.file("empty.wav");
  write_bytes(empty, {});

  for (const std::string& path : {cut, empty}) {
    info = earlier_info;
    EXPECT_EQ(describe(path), 0) << path;
    EXPECT_TRUE(all_nul(text, sizeof text)) << path;
    EXPECT_TRUE(same_info(info, earlier_info)) << path;
  }
  EXPECT_EQ(describe(full), 1);
}

TEST_F(impulse_info_test, frame_count_divides_as_signed_integers) {
  struct header_case {
    int channels;
    int bits;
    std::int32_t data_size;
    std::int32_t frames;
  };
  const header_case cases[] = {
      {2, 16, 1200, 300},  {1, 24, 3000, 1000},  // 24 bits: 3 bytes a sample
      {1, 12, 3000, 3000},                       // 12 bits: bits / 8 is 1
      {2, 16, 10, 2},       // the bytes behind the last whole frame do not count
      {2, 16, -1, 0},       // -1 / 2 / 2 truncates to 0
      {1, 16, -400, -200},  // a size with its top bit set counts below zero
      {-1, 16, 400, -200},  // so does a negative channel count
  };
  for (const header_case& c : cases) {
    ASSERT_EQ(describe(header_file(c.channels, 44100, c.bits, c.data_size)), 1);
    EXPECT_EQ(info.frames, c.frames)
        << c.channels << " channels, " << c.bits << " bits, size " << c.data_size;
    EXPECT_EQ(info.channels, c.channels);
    EXPECT_EQ(info.bits, c.bits);
  }
}

TEST_F(impulse_info_test, headers_that_cannot_be_divided_show_zero_frames) {
  struct header_case {
    int channels;
    int bits;
    std::int32_t data_size;
  };
  const header_case cases[] = {
      {2, 4, 1200},      // bits / 8 is 0
      {2, -7, 1200},     // so it is from -7 to 7
      {0, 16, 1200},     // no channels
      {1, -8, INT_MIN},  // INT_MIN / -1 overflows
      {-1, 8, INT_MIN},  // INT_MIN / 1 / -1 overflows too
  };
  for (const header_case& c : cases) {
    ASSERT_EQ(describe(header_file(c.channels, 8000, c.bits, c.data_size)), 1);
    EXPECT_EQ(info.frames, 0) << c.channels << " channels, " << c.bits << " bits, size "
                              << c.data_size;
    const std::string shown = "样本数量: 0, 最小FFT: 0, 通道数: " + std::to_string(c.channels);
    EXPECT_NE(std::strstr(text, shown.c_str()), nullptr) << text;
    const std::string last = "回馈速率: 8000, 位数: " + std::to_string(c.bits);
    EXPECT_NE(std::strstr(text, last.c_str()), nullptr) << text;
  }
}

TEST_F(impulse_info_test, any_file_that_opens_is_described_from_its_bytes) {
  // Not a WAV file at all: whatever lies at the header's offsets is shown.
  std::vector<unsigned char> bytes(64, 0);
  bytes[22] = 2;                       // channels
  bytes[24] = 0x10, bytes[25] = 0x27;  // sample rate 10000
  bytes[34] = 16;                      // bits
  bytes[40] = 40;                      // data size
  const std::string path = dir.file("not-a-wav.bin");
  write_bytes(path, bytes);
  ASSERT_EQ(describe(path), 1);
  EXPECT_EQ(info.frames, 10);
  EXPECT_EQ(info.sample_rate, 10000);
}

// A file the engine did not load: said so, with the header's reason where it
// gives one, and no figure of any impulse.
TEST_F(impulse_info_test, a_file_the_engine_did_not_load_is_said_to_be_unloaded_and_why) {
  const std::string int32_path = dir.file("int32.wav");
  write_bytes(int32_path, with_format_code(canonical_wav(1, 44100, 32, {}, 400), 1));
  const std::pair<std::string, std::string> cases[] = {
      {header_file(1, 44100, 24, 300), "不支持24位样本（只支持16位整数和32位浮点）"},
      {header_file(6, 44100, 16, 300), "不支持6个通道（只支持1或2个）"},
      {int32_path, "不支持32位整数样本（只支持16位整数和32位浮点）"},
      {header_file(2, 44100, 16, 3), "数据中没有完整的样本帧"},
      {dir.file("missing.wav"), "文件无法打开"},
      {header_file(2, 44100, 16, 400), "文件格式可用，但当前未载入"},  // a header the engine takes
  };
  for (const auto& [path, reason] : cases) {
    EXPECT_EQ(format_unused_impulse_info(path.c_str(), text, info_text_size), 1);
    EXPECT_EQ(std::string(text), "脉冲样本未载入，没有混响:\r\n" + reason) << path;
  }
  EXPECT_EQ(format_unused_impulse_info(cases[0].first.c_str(), text, 255), 0);
  EXPECT_TRUE(all_nul(text, 255));
}
