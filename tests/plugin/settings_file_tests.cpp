// The settings file as the plug-in reads it at init and writes it at quit.
// Without the dialog, a session's quit saves exactly what init read, so each
// file below is judged by what comes back and by how blocks are treated.
#include <cstdio>
#include <cstring>

#include "tests/plugin/plugin_fixture.h"
#include "tests/plugin/reference_chain.h"
#include "tools/wav_file.h"

namespace {

constexpr std::int32_t block_frames = 576;

// One stereo block through the plug-in: true when it came back changed.
bool block_is_processed(plugin_session& session) {
  const std::vector<std::int16_t> input = test_signal(block_frames, 2, 11, 8000.0f);
  std::vector<std::int16_t> block = input;
  EXPECT_EQ(session.modify_samples(block.data(), block_frames, 16, 2, 44100), block_frames);
  return block != input;
}

// A short decaying impulse, enough to make a convolution visible.
std::vector<float> impulse_samples() {
  std::vector<float> samples(300);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = (i % 7 == 0 ? 0.6f : -0.2f) / static_cast<float>(1 + i / 10);
  }
  return samples;
}

std::vector<unsigned char> float_bytes(float value) {
  unsigned char bytes[4];
  std::memcpy(bytes, &value, 4);
  return {bytes, bytes + 4};
}

}  // namespace

class settings_file : public plugin_test {
 protected:
  // Loads the plug-in, runs init, one block and quit; returns whether the block
  // was processed.
  bool run_session() {
    auto session = load();
    if (!session->ready()) return false;
    EXPECT_EQ(session->init(), 0);
    const bool processed = block_is_processed(*session);
    session->quit();
    return processed;
  }
};

TEST_F(settings_file, missing_file_gives_the_defaults_and_quit_writes_272_bytes) {
  EXPECT_TRUE(run_session()) << "power is on by default";
  bool exists = false;
  const std::vector<unsigned char> saved = saved_settings(&exists);
  ASSERT_TRUE(exists);
  ASSERT_EQ(saved.size(), 272u);
  EXPECT_EQ(saved, settings_bytes(1.0f, "", 1, 1));
  // Gain 1.0 is stored as 00 00 80 3F.
  EXPECT_EQ(std::vector<unsigned char>(saved.begin(), saved.begin() + 4),
            (std::vector<unsigned char>{0x00, 0x00, 0x80, 0x3F}));
}

TEST_F(settings_file, short_files_replace_only_the_leading_fields) {
  // Four bytes: the gain alone.
  write_file(settings_path(), float_bytes(0.5f));
  EXPECT_TRUE(run_session());
  EXPECT_EQ(saved_settings(), settings_bytes(0.5f, "", 1, 1));

  // A hundred bytes: the gain and the first 96 bytes of the path field.
  const std::string path96 = "C:\\" + std::string(93, 'p');
  std::vector<unsigned char> hundred(100);
  const float gain = 2.0f;
  std::memcpy(hundred.data(), &gain, 4);
  std::memcpy(hundred.data() + 4, path96.data(), 96);
  ASSERT_EQ(hundred.size(), 100u);
  write_file(settings_path(), hundred);
  EXPECT_TRUE(run_session());
  EXPECT_EQ(saved_settings(), settings_bytes(2.0f, path96, 1, 1));
}

TEST_F(settings_file, a_whole_file_is_read_and_written_back_byte_for_byte) {
  const std::vector<unsigned char> stored = settings_bytes(3.0f, "D:\\ir\\plate.wav", 0, 0);
  write_file(settings_path(), stored);
  EXPECT_FALSE(run_session()) << "power is off in the file";
  EXPECT_EQ(saved_settings(), stored);
}

TEST_F(settings_file, a_longer_file_gives_its_first_272_bytes_and_is_cut_back_at_quit) {
  std::vector<unsigned char> longer = settings_bytes(0.25f, "C:\\a.wav", 1, 0);
  const std::vector<unsigned char> first = longer;
  longer.insert(longer.end(), 28, 0xEE);
  write_file(settings_path(), longer);
  EXPECT_FALSE(run_session());
  EXPECT_EQ(saved_settings(), first);
}

TEST_F(settings_file, any_nonzero_power_counts_as_on_and_is_kept) {
  write_file(settings_path(), settings_bytes(1.0f, "", 1, 2));
  EXPECT_TRUE(run_session());
  EXPECT_EQ(saved_settings(), settings_bytes(1.0f, "", 1, 2));
}

// "r+b" and "w+b" both need write access: a file that cannot be opened for
// it counts as missing at init (power on, although the file says off) and is
// left as it was at quit.
TEST_F(settings_file, a_file_held_open_elsewhere_without_write_sharing_is_ignored_and_kept) {
  const std::vector<unsigned char> stored = settings_bytes(0.25f, "", 0, 0);
  write_file(settings_path(), stored);
  HANDLE holder = CreateFileA(settings_path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const bool processed = run_session();
  CloseHandle(holder);
  EXPECT_TRUE(processed);
  EXPECT_EQ(saved_settings(), stored);
}

TEST_F(settings_file, a_read_only_file_is_ignored_at_init_and_left_alone_at_quit) {
  const std::vector<unsigned char> stored = settings_bytes(0.25f, "", 0, 0);
  write_file(settings_path(), stored);
  ASSERT_TRUE(SetFileAttributesA(settings_path().c_str(), FILE_ATTRIBUTE_READONLY));
  // Wine keeps the attribute as Unix permissions, which do not bind root.
  if (std::FILE* probe = std::fopen(settings_path().c_str(), "r+b")) {
    std::fclose(probe);
    GTEST_SKIP() << "this system lets read-only files be opened for writing";
  }
  EXPECT_TRUE(run_session());
  EXPECT_EQ(saved_settings(), stored);
}

TEST_F(settings_file, without_a_plugins_folder_nothing_is_read_or_saved) {
  ASSERT_TRUE(RemoveDirectoryA(host_plugins_directory().c_str()));
  EXPECT_TRUE(run_session());
  EXPECT_EQ(GetFileAttributesA(host_plugins_directory().c_str()), INVALID_FILE_ATTRIBUTES);
  CreateDirectoryA(host_plugins_directory().c_str(), nullptr);
}

// Both editions run this test against the same bytes, spelled out here rather
// than built by the helpers: a file either edition writes is the file the
// other reads.
TEST_F(settings_file, both_editions_share_one_byte_layout) {
  std::vector<unsigned char> file = {0xE1, 0x7A, 0x94, 0x3E};  // gain 0.29f
  // "C:\音效\大厅.wav" in code page 936.
  const unsigned char path[] = {'C',  ':',  '\\', 0xD2, 0xF4, 0xD0, 0xA7, '\\',
                                0xB4, 0xF3, 0xCC, 0xFC, '.',  'w',  'a',  'v'};
  file.insert(file.end(), path, path + sizeof path);
  file.resize(4 + 260, 0x00);
  file.insert(file.end(), {0x00, 0x00, 0x00, 0x00});  // show at start-up: off
  file.insert(file.end(), {0x01, 0x00, 0x00, 0x00});  // power: on
  ASSERT_EQ(file.size(), 272u);

  write_file(settings_path(), file);
  EXPECT_TRUE(run_session());
  EXPECT_EQ(saved_settings(), file);
}

// A second request for module 0 while the module runs (choice: it leaves the
// running settings alone): blocks are still processed, and quit saves the
// user's settings rather than the getter's zeros.
TEST_F(settings_file, module_getter_after_init_keeps_the_running_settings) {
  const std::vector<unsigned char> stored = settings_bytes(0.6f, "C:\\rooms\\small.wav", 0, 1);
  write_file(settings_path(), stored);
  auto session = load();
  ASSERT_TRUE(session->ready());
  session->init();
  EXPECT_EQ(session->header()->module_getter(0), session->module());
  EXPECT_TRUE(block_is_processed(*session));
  session->quit();
  EXPECT_EQ(saved_settings(), stored);

  // Once quit, the getter clears again: a quit without init saves nothing.
  write_file(settings_path(), stored);
  EXPECT_EQ(session->header()->module_getter(0), session->module());
  session->quit();
  EXPECT_EQ(saved_settings(), stored);
}

// A damaged path field with no NUL in its 260 bytes (choice: cut at its last
// byte): the first 259 bytes are the path the impulse is loaded from, and the
// path quit saves.
TEST_F(settings_file, a_path_field_without_a_terminator_is_cut_at_its_last_byte) {
  // A real impulse whose path is exactly 259 bytes long, padded with ".\".
  std::string path = host_plugins_directory();
  std::string name = "cut.wav";
  if ((259 - path.size() - name.size()) % 2 != 0) name = "cut1.wav";
  while (path.size() + name.size() < 259) path += ".\\";
  path += name;
  ASSERT_EQ(path.size(), 259u);
  const std::string impulse_file = host_plugins_directory() + name;
  ASSERT_TRUE(write_float_wav(impulse_file, 1, 44100, impulse_samples()));

  std::vector<unsigned char> damaged = settings_bytes(1.0f, path, 1, 1);
  damaged[4 + 259] = 'x';
  write_file(settings_path(), damaged);

  const std::vector<std::int16_t> input = test_signal(block_frames, 2, 5, 6000.0f);
  std::vector<std::int16_t> expected = input;
  {
    reference_chain reference(1.0f, path);
    reference.process(expected.data(), block_frames, 2);
  }
  std::vector<std::int16_t> output = input;
  {
    auto session = load();
    ASSERT_TRUE(session->ready());
    session->init();
    session->modify_samples(output.data(), block_frames, 16, 2, 44100);
    session->quit();
  }
  remove_file(impulse_file);
  EXPECT_EQ(output, expected);
  EXPECT_NE(output, input);
  EXPECT_EQ(saved_settings(), settings_bytes(1.0f, path, 1, 1));
}
