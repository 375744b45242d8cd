// The plug-in's life in one host process: loaded and unloaded many times,
// quit while the playback thread is still busy, and quit beside the host's own
// open files.
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "tests/plugin/plugin_fixture.h"
#include "tests/support/process_memory.h"
#include "tools/os_thread.h"
#include "tools/wav_file.h"

namespace {

constexpr std::int32_t frames = 576;

std::vector<float> decaying_impulse(std::size_t length) {
  std::vector<float> samples(length);
  for (std::size_t i = 0; i < length; ++i) {
    samples[i] = (i % 2 == 0 ? 0.4f : -0.3f) / static_cast<float>(1 + i / 50);
  }
  return samples;
}

}  // namespace

class lifecycle : public plugin_test {
 protected:
  void SetUp() override {
    plugin_test::SetUp();
    impulse_ = host_plugins_directory() + "lifecycle-impulse.wav";
    ASSERT_TRUE(write_float_wav(impulse_, 1, 44100, decaying_impulse(3000)));
    settings_ = settings_bytes(0.8f, impulse_, 0, 1);
  }
  void TearDown() override {
    remove_file(impulse_);
    plugin_test::TearDown();
  }

  // Load, init, a few blocks, quit, unload.
  void one_cycle() {
    write_file(settings_path(), settings_);
    auto session = load();
    ASSERT_TRUE(session->ready());
    session->init();
    std::vector<std::int16_t> block = test_signal(frames, 2, 3, 9000.0f);
    for (int i = 0; i < 4; ++i) {
      ASSERT_EQ(session->modify_samples(block.data(), frames, 16, 2, 44100), frames);
    }
    session->config();
    session->quit();
  }

  std::string impulse_;
  std::vector<unsigned char> settings_;
};

TEST_F(lifecycle, fifty_cycles_in_one_process_leave_no_memory_behind) {
  // The first cycles settle the process's own lazily made state (runtime,
  // thread and window bookkeeping); growth is measured over the 50 after them.
  for (int i = 0; i < 5; ++i) one_cycle();
  const auto before = static_cast<std::size_t>(current_process_memory().private_bytes);
  ASSERT_GT(before, 0u);
  for (int i = 0; i < 50; ++i) {
    one_cycle();
    if (HasFatalFailure()) return;
  }
  const auto after = static_cast<std::size_t>(current_process_memory().private_bytes);
  const double growth = static_cast<double>(after) - static_cast<double>(before);
  RecordProperty("committed_before", static_cast<int>(before));
  RecordProperty("committed_after", static_cast<int>(after));
  std::printf("committed bytes: %zu before, %zu after 50 cycles\n", before, after);
  // Each cycle allocates the tails (2 x 528384 bytes), the spectra and the
  // limiter; a leak of any of them would show as megabytes.
  EXPECT_LT(growth, 128.0 * 1024) << "per cycle: " << growth / 50 << " bytes";
  EXPECT_EQ(saved_settings(), settings_);
}

// Quit arrives on the window thread while the playback thread keeps sending
// blocks (choice: quit waits for a block in progress; a block after quit
// passes untouched). Several rounds, quitting at different moments.
TEST_F(lifecycle, quit_while_the_playback_thread_sends_blocks) {
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    write_file(settings_path(), settings_);
    auto session = load();
    ASSERT_TRUE(session->ready());
    session->init();

    std::atomic<bool> quit_returned{false};
    std::atomic<bool> stop{false};
    std::atomic<int> blocks_sent{0};
    std::atomic<int> wrong_counts{0};
    std::atomic<int> touched_after_quit{0};
    std::atomic<int> overruns{0};
    os_thread playback([&] {
      const std::vector<std::int16_t> input = test_signal(frames, 2, 9, 9000.0f);
      std::vector<std::int16_t> buffer(input.size() + 32, 0x5A5A);
      while (!stop.load()) {
        std::copy(input.begin(), input.end(), buffer.begin());
        const bool after_quit = quit_returned.load();
        // Mono now and then, so the limiter is also rebuilt under quit.
        const std::int32_t channels = (blocks_sent.load() % 3 == 2) ? 1 : 2;
        if (session->modify_samples(buffer.data(), frames, 16, channels, 44100) != frames) {
          ++wrong_counts;
        }
        if (after_quit && !std::equal(input.begin(), input.end(), buffer.begin())) {
          ++touched_after_quit;
        }
        for (std::size_t k = input.size(); k < buffer.size(); ++k) overruns += buffer[k] != 0x5A5A;
        ++blocks_sent;
      }
    });
    Sleep(static_cast<DWORD>(5 + 7 * round));
    session->quit();
    quit_returned = true;
    const int at_quit = blocks_sent.load();
    while (blocks_sent.load() < at_quit + 20) Sleep(1);
    stop = true;
    playback.join();

    EXPECT_GT(at_quit, 0) << "no block was sent before quit";
    EXPECT_EQ(wrong_counts.load(), 0);
    EXPECT_EQ(touched_after_quit.load(), 0);
    EXPECT_EQ(overruns.load(), 0);
    EXPECT_EQ(saved_settings(), settings_);
  }
}

// The C runtime is the system's, shared by the host and the plug-in: quit must
// close only what the plug-in opened, never the host's streams (choice).
TEST_F(lifecycle, a_host_file_open_across_quit_stays_open_and_writable) {
  const std::string path = host_plugins_directory() + "host-own-file.txt";
  std::FILE* host_file = std::fopen(path.c_str(), "w+b");
  ASSERT_NE(host_file, nullptr);
  ASSERT_GE(std::fputs("before quit\n", host_file), 0);
  one_cycle();
  EXPECT_GE(std::fputs("after quit\n", host_file), 0);
  EXPECT_EQ(std::fflush(host_file), 0);
  EXPECT_EQ(std::ferror(host_file), 0);
  EXPECT_EQ(std::fclose(host_file), 0);
  const std::vector<unsigned char> content = read_file(path);
  remove_file(path);
  EXPECT_EQ(std::string(content.begin(), content.end()), "before quit\nafter quit\n");
}
