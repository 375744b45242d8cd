// The impulse reader: decoding, the header rules, truncated and non-canonical
// files, and the transform length it chooses.
#include <cstring>

#include "engine/impulse_reader.h"
#include "engine/wav_header.h"
#include "tests/support/engine_fixture.h"

namespace {

class reader_test : public engine_test {
 protected:
  void SetUp() override {
    engine_test::SetUp();
    engine_init(1.0f, nullptr);
  }
  // 1 when the impulse was read (and the engine loaded it), else 0.
  int read(const std::string& path, float gain = 1.0f) {
    return load_impulse(gain, path.c_str()) == 0 ? 1 : 0;
  }
};

TEST_F(reader_test, decodes_16_bit_samples_with_2_to_the_minus_15_and_gain) {
  std::vector<unsigned char> data = {0x00, 0x80, 0xFF, 0x7F, 0x01, 0x00, 0xFF, 0xFF};
  std::string path = make_file("a.wav", canonical_wav(1, 44100, 16, data, 8));
  ASSERT_EQ(read(path, 0.5f), 1);
  ASSERT_EQ(engine_state.impulse_frames, 4);
  EXPECT_EQ(engine_state.impulse[0][0], -0.5f);
  EXPECT_EQ(engine_state.impulse[0][1], 0.999969482421875f * 0.5f);
  EXPECT_EQ(engine_state.impulse[0][2], 0.5f / 32768.0f);
  EXPECT_EQ(engine_state.impulse[0][3], -0.5f / 32768.0f);

  ASSERT_EQ(read(path, 1.0f), 1);
  EXPECT_EQ(engine_state.impulse[0][1], 0.999969482421875f);
}

TEST_F(reader_test, reads_32_bit_data_as_floats_and_splits_stereo) {
  std::vector<float> samples = {0.25f, -1.5f, 3.0f, 1e-3f};
  ASSERT_EQ(read(make_file("f.wav", float32_wav(2, samples)), 2.0f), 1);
  EXPECT_EQ(engine_state.impulse_channels, 2);
  EXPECT_EQ(engine_state.impulse_frames, 2);
  EXPECT_EQ(engine_state.impulse[0][0], 0.5f);
  EXPECT_EQ(engine_state.impulse[1][0], -3.0f);
  EXPECT_EQ(engine_state.impulse[0][1], 6.0f);
  EXPECT_EQ(engine_state.impulse[1][1], static_cast<float>(2.0 * 1e-3f));
}

// 32-bit samples are floats unless the format says integers (plain or
// extensible): such a file is refused and the impulse before it stays.
TEST_F(reader_test, takes_32_bit_files_as_floats_unless_they_say_integers) {
  const std::vector<unsigned char> one = {0x00, 0x00, 0x80, 0x3F};  // 1.0f
  const std::string good = make_file("good.wav", pcm16_wav(1, {100, 200, 300}));
  const std::vector<std::vector<unsigned char>> integers = {
      with_format_code(canonical_wav(1, 8000, 32, one, 4), 1),
      extensible_wav(2, 32, 1, {one[0], one[1], one[2], one[3], one[0], one[1], one[2], one[3]}),
  };
  for (const auto& bytes : integers) {
    ASSERT_EQ(read(good), 1);
    EXPECT_EQ(read(make_file("int.wav", bytes)), 0) << bytes.size();
    EXPECT_STREQ(engine_state.loaded_path, good.c_str());
  }
  const std::vector<std::vector<unsigned char>> floats = {
      canonical_wav(1, 8000, 32, one, 4), extensible_wav(1, 32, 3, one),
      with_format_code(canonical_wav(1, 8000, 32, one, 4), 0),  // no code at all
  };
  for (const auto& bytes : floats) {
    EXPECT_EQ(read(make_file("float.wav", bytes)), 1) << bytes.size();
    EXPECT_EQ(engine_state.impulse[0][0], 1.0f);
  }
  // 16-bit samples are integers whatever the code says.
  ASSERT_EQ(read(make_file("16.wav", with_format_code(pcm16_wav(1, {-16384}), 3))), 1);
  EXPECT_EQ(engine_state.impulse[0][0], -0.5f);
}

TEST_F(reader_test, refused_headers_leave_the_previous_impulse_in_place) {
  std::string good = make_file("good.wav", pcm16_wav(1, {100, 200, 300}));
  ASSERT_EQ(read(good), 1);
  const float* before = engine_state.impulse[0];

  std::vector<unsigned char> data(48, 1);
  std::vector<std::string> refused = {
      make_file("8bit.wav", canonical_wav(1, 44100, 8, data, 48)),
      make_file("24bit.wav", canonical_wav(1, 44100, 24, data, 48)),
      make_file("0ch.wav", canonical_wav(0, 44100, 16, data, 48)),
      make_file("3ch.wav", canonical_wav(3, 44100, 16, data, 48)),
      make_file("short.wav", std::vector<unsigned char>(43, 0)),
      make_file("negative.wav", canonical_wav(1, 44100, 16, data, -48)),
      dir_.file("missing.wav"),
  };
  for (const std::string& path : refused) {
    SCOPED_TRACE(path);
    EXPECT_EQ(read(path), 0);
    EXPECT_EQ(engine_state.impulse[0], before);
    EXPECT_EQ(engine_state.impulse_frames, 3);
    EXPECT_EQ(engine_state.transform_length, 8);
    EXPECT_STREQ(engine_state.loaded_path, good.c_str());
  }
}

TEST_F(reader_test, frame_count_follows_the_data_size_not_the_file) {
  // 10 bytes of 16-bit stereo: 2 whole frames; the last 2 bytes are not read.
  std::vector<unsigned char> data = {1, 0, 2, 0, 3, 0, 4, 0, 5, 0};
  std::string ten = make_file("ten.wav", canonical_wav(2, 44100, 16, data, 10));
  ASSERT_EQ(read(ten), 1);
  EXPECT_EQ(engine_state.impulse_frames, 2);

  // No whole frame (none, less than one, or the "length unknown" of streaming
  // writers): refused, instead of costing the largest transforms for silence.
  for (std::int32_t size : {0, 3, -1}) {
    EXPECT_EQ(read(make_file("empty.wav", canonical_wav(2, 44100, 16, data, size))), 0) << size;
    EXPECT_EQ(engine_state.impulse_frames, 2);
    EXPECT_EQ(engine_state.transform_length, 8);
  }
}

TEST_F(reader_test, samples_a_truncated_file_does_not_hold_are_silent) {
  // Promises 4 frames, holds 2 samples: the frame count stays, the rest is 0.
  std::vector<unsigned char> two = {0x10, 0x00, 0x20, 0x01};
  ASSERT_EQ(read(make_file("t16.wav", canonical_wav(1, 44100, 16, two, 8))), 1);
  ASSERT_EQ(engine_state.impulse_frames, 4);
  EXPECT_EQ(engine_state.impulse[0][1], 0x0120 / 32768.0f);
  EXPECT_EQ(engine_state.impulse[0][2], 0.0f);
  EXPECT_EQ(engine_state.impulse[0][3], 0.0f);

  // Cut inside a sample, 16 and 32 bits, stereo: the partial sample is silent.
  std::vector<unsigned char> cut = {0x10, 0x02, 0x33};
  ASSERT_EQ(read(make_file("cut.wav", canonical_wav(2, 44100, 16, cut, 8))), 1);
  EXPECT_EQ(engine_state.impulse[0][0], 0x0210 / 32768.0f);
  EXPECT_EQ(engine_state.impulse[1][0], 0.0f);
  EXPECT_EQ(engine_state.impulse[0][1], 0.0f);
  std::vector<unsigned char> f = {0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00};
  ASSERT_EQ(read(make_file("t32.wav", canonical_wav(1, 44100, 32, f, 12))), 1);
  EXPECT_EQ(engine_state.impulse[0][0], 1.0f);
  EXPECT_EQ(engine_state.impulse[0][1], 0.0f);
  EXPECT_EQ(engine_state.impulse[0][2], 0.0f);

  // A file that ends in a data size far beyond it: one sample, then silence.
  std::vector<unsigned char> one = {0xFF, 0x7F};
  ASSERT_EQ(read(make_file("huge.wav", canonical_wav(1, 44100, 16, one, 200000))), 1);
  ASSERT_EQ(engine_state.impulse_frames, 100000);
  for (int i = 1; i < 100000; ++i) ASSERT_EQ(engine_state.impulse[0][i], 0.0f) << i;
}

TEST_F(reader_test, large_files_read_like_sample_by_sample) {
  // Larger than the reader's buffer, ending in a partial sample.
  std::vector<float> samples = noise(70001, 7);
  std::vector<unsigned char> data(samples.size() * 4);
  std::memcpy(data.data(), samples.data(), data.size());
  data.resize(data.size() - 2);
  ASSERT_EQ(read(make_file("big.wav", canonical_wav(1, 44100, 32, data, 70003 * 4))), 1);
  ASSERT_EQ(engine_state.impulse_frames, 70003);
  for (int i = 0; i < 70000; ++i) ASSERT_EQ(engine_state.impulse[0][i], samples[i]) << i;
  for (int i = 70000; i < 70003; ++i) EXPECT_EQ(engine_state.impulse[0][i], 0.0f) << i;
}

TEST_F(reader_test, walks_the_chunks_of_a_non_canonical_file) {
  std::vector<float> samples = noise(600, 3);
  ASSERT_EQ(read(make_file("chunks.wav", float32_wav_with_chunks(2, samples))), 1);
  EXPECT_EQ(engine_state.impulse_channels, 2);
  ASSERT_EQ(engine_state.impulse_frames, 300);
  for (int i = 0; i < 300; ++i) {
    ASSERT_EQ(engine_state.impulse[0][i], samples[2 * i]);
    ASSERT_EQ(engine_state.impulse[1][i], samples[2 * i + 1]);
  }

  wav_header header{};
  std::vector<unsigned char> bytes = float32_wav_with_chunks(1, samples);
  ASSERT_TRUE(parse_wav_header(bytes.data(), bytes.size(), &header));
  EXPECT_EQ(header.sample_rate, 48000);
  EXPECT_EQ(header.bits_per_sample, 32);
  EXPECT_EQ(wav_frame_count(header), 600);

  // A metadata chunk larger than any prefix a reader might take (tags, cover
  // art) between the format and the data is skipped by its header alone.
  std::vector<unsigned char> tagged =
      with_chunk_before_data(pcm16_wav(1, {1, -2, 3, -4}), "LIST", 70001);
  ASSERT_EQ(read(make_file("tagged.wav", tagged)), 1);
  ASSERT_EQ(engine_state.impulse_frames, 4);
  EXPECT_EQ(engine_state.impulse[0][3], -4 / 32768.0f);

  // No usable chunk pair: the fixed offsets after all.
  std::vector<unsigned char> odd = canonical_wav(1, 22050, 16, {1, 0, 2, 0}, 4);
  std::memcpy(odd.data() + 36, "junk", 4);
  std::memcpy(odd.data() + 12, "abcd", 4);
  ASSERT_TRUE(parse_wav_header(odd.data(), odd.size(), &header));
  EXPECT_EQ(header.data_offset, 44u);
  EXPECT_EQ(wav_frame_count(header), 2);
  EXPECT_EQ(header.sample_rate, 22050);
}

TEST_F(reader_test, frame_count_guards_its_divisions) {
  wav_header header{};
  header.data_size = 100;
  header.bits_per_sample = 4;  // bits / 8 == 0
  header.channels = 1;
  EXPECT_EQ(wav_frame_count(header), 0);
  header.bits_per_sample = 16;
  header.channels = 0;
  EXPECT_EQ(wav_frame_count(header), 0);
  header.data_size = INT32_MIN;
  header.bits_per_sample = -8;
  header.channels = 1;
  EXPECT_EQ(wav_frame_count(header), 0);
  header.data_size = -100;
  header.bits_per_sample = 16;
  EXPECT_EQ(wav_frame_count(header), -50);
}

TEST_F(reader_test, impulses_longer_than_the_cap_are_cut) {
  std::vector<std::int16_t> samples(max_impulse_frames + 10, 3);
  samples[max_impulse_frames - 1] = 9;
  ASSERT_EQ(read(make_file("long.wav", pcm16_wav(1, samples))), 1);
  EXPECT_EQ(engine_state.impulse_frames, max_impulse_frames);
  EXPECT_EQ(engine_state.impulse[0][max_impulse_frames - 1], 9 / 32768.0f);
  EXPECT_EQ(engine_state.transform_length, 524288);
}

TEST(transform_length, is_the_next_power_of_two_above_twice_the_frames) {
  const std::pair<std::int32_t, std::int32_t> table[] = {
      {1, 4},           {2, 8},          {100, 256},      {1000, 2048},     {1024, 4096},
      {44100, 131072},  {65535, 131072}, {65536, 262144}, {131072, 524288}, {262143, 524288},
      {262144, 524288}, {0, 524288},     {-5, 524288}};
  for (auto [frames, length] : table) EXPECT_EQ(transform_length_for(frames), length) << frames;
}

TEST_F(reader_test, a_requested_length_is_a_minimum_and_is_consumed) {
  std::string path = make_file("h.wav", pcm16_wav(1, std::vector<std::int16_t>(100, 5)));
  ASSERT_EQ(read(path), 1);
  EXPECT_EQ(engine_state.transform_length, 256);
  requested_length = 512;
  ASSERT_EQ(read(path), 1);
  EXPECT_EQ(engine_state.transform_length, 512);
  EXPECT_EQ(requested_length, 0);
  ASSERT_EQ(read(path), 1);
  EXPECT_EQ(engine_state.transform_length, 256);

  // Shorter than the impulse needs: the impulse's own rule wins.
  requested_length = 8;
  ASSERT_EQ(read(path), 1);
  EXPECT_EQ(engine_state.transform_length, 256);

  // A failed read leaves the request for the next successful one.
  requested_length = 1024;
  EXPECT_EQ(read(dir_.file("missing.wav")), 0);
  EXPECT_EQ(requested_length, 1024);
  ASSERT_EQ(read(path), 1);
  EXPECT_EQ(engine_state.transform_length, 1024);
}

TEST_F(reader_test, rereading_the_loaded_path_keeps_it) {
  std::string path = make_file("h.wav", pcm16_wav(2, {1, 2, 3, 4}));
  ASSERT_EQ(read(path), 1);
  ASSERT_EQ(load_impulse(1.0f, engine_state.loaded_path), 0);
  EXPECT_STREQ(engine_state.loaded_path, path.c_str());
  ASSERT_EQ(load_impulse(1.0f, engine_state.loaded_path), 0);
  EXPECT_STREQ(engine_state.loaded_path, path.c_str());
  EXPECT_EQ(engine_state.impulse_frames, 2);
}

}  // namespace
