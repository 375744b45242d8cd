// Whole files through the host program: a child process that loads the DLL,
// streams the file on its playback thread and writes the result. The output
// must be what the test program's own engine and limiter make of the same
// blocks.
#include <cstdio>

#include "tests/plugin/plugin_fixture.h"
#include "tests/plugin/reference_chain.h"
#include "tools/demo_signals.h"
#include "tools/wav_file.h"

namespace {

std::vector<std::int16_t> mono_from_stereo(const std::vector<std::int16_t>& stereo) {
  std::vector<std::int16_t> mono(stereo.size() / 2);
  for (std::size_t i = 0; i < mono.size(); ++i) mono[i] = stereo[2 * i];
  return mono;
}

}  // namespace

class host_stream : public plugin_test {
 protected:
  void SetUp() override {
    plugin_test::SetUp();
    directory_ = host_plugins_directory();
    impulse_ = directory_ + "stream-impulse.wav";
    input_ = directory_ + "stream-input.wav";
    output_ = directory_ + "stream-output.wav";
    ASSERT_TRUE(write_float_wav(impulse_, 2, demo_sample_rate, demo_room_impulse(0.25, 0.2)));
  }
  void TearDown() override {
    for (const std::string& file : {impulse_, input_, output_}) remove_file(file);
    plugin_test::TearDown();
  }

  // Streams samples through the host program and checks its output against the
  // reference, block by block of the same size.
  void check_stream(const std::vector<std::int16_t>& samples, std::int32_t channels,
                    std::int32_t block_frames, float gain) {
    ASSERT_TRUE(write_pcm16_wav(input_, channels, demo_sample_rate, samples));
    char gain_text[32];
    std::snprintf(gain_text, sizeof gain_text, "%.9g", gain);
    std::string report;
    const int status = run_program(
        in_quotes(dsp_host_path()) + " --block " + std::to_string(block_frames) + " --gain " +
            gain_text + " --impulse " + in_quotes(impulse_) + " " + in_quotes(plugin_dll_path()) +
            " " + in_quotes(input_) + " " + in_quotes(output_),
        &report);
    ASSERT_EQ(status, 0) << report;

    wav_format format;
    std::vector<std::int16_t> output;
    ASSERT_TRUE(read_pcm16_wav(output_, format, output));
    EXPECT_EQ(format.channels, channels);
    EXPECT_EQ(format.sample_rate, demo_sample_rate);
    ASSERT_EQ(output.size(), samples.size());

    std::vector<std::int16_t> expected = samples;
    const std::int64_t frames = static_cast<std::int64_t>(samples.size()) / channels;
    {
      reference_chain reference(gain, impulse_);
      for (std::int64_t at = 0; at < frames; at += block_frames) {
        const std::int32_t count =
            static_cast<std::int32_t>(frames - at < block_frames ? frames - at : block_frames);
        reference.process(expected.data() + at * channels, count, channels);
      }
    }
    std::size_t differing = 0;
    for (std::size_t k = 0; k < expected.size(); ++k) differing += output[k] != expected[k];
    EXPECT_EQ(differing, 0u) << "of " << expected.size() << " samples";
    EXPECT_NE(output, samples) << "the file came through unprocessed";

    const std::int64_t blocks = (frames + block_frames - 1) / block_frames;
    EXPECT_NE(
        report.find("blocks " + std::to_string(blocks) + ", frames " + std::to_string(frames)),
        std::string::npos)
        << report;
  }

  std::string directory_, impulse_, input_, output_;
};

TEST_F(host_stream, a_stereo_file_in_blocks_of_576_frames) {
  check_stream(demo_music(2.0), 2, 576, 1.0f);
}

TEST_F(host_stream, a_mono_file_in_blocks_of_another_size_with_a_gain) {
  check_stream(mono_from_stereo(demo_music(1.5)), 1, 1000, 0.5f);
}

TEST_F(host_stream, the_host_writes_the_settings_file_it_was_asked_for) {
  ASSERT_TRUE(write_pcm16_wav(input_, 2, demo_sample_rate, demo_music(0.2)));
  const std::string command = in_quotes(dsp_host_path()) + " --gain 0.75 --impulse " +
                              in_quotes(impulse_) + " " + in_quotes(plugin_dll_path()) + " " +
                              in_quotes(input_) + " " + in_quotes(output_);
  std::string report;
  ASSERT_EQ(run_program(command, &report), 0) << report;
  // Hidden at start-up, power on; the plug-in saved it back unchanged at quit.
  EXPECT_EQ(saved_settings(), settings_bytes(0.75f, impulse_, 0, 1));
}
