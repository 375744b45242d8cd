// What the impulse browser keeps of a chosen file, and the folder it starts in.
// The open-file dialog itself is driven end to end in impulse_dialog_tests.cpp.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/impulse_browser.h"
#include "tests/support/test_files.h"

namespace {

class chosen_impulse_test : public testing::Test {
 protected:
  void SetUp() override {
    std::memset(impulse_path, 0, sizeof impulse_path);
    std::strcpy(impulse_path, "C:\\earlier.wav");
  }

  // A file whose full path is exactly length bytes long.
  std::string file_with_path_length(std::size_t length) {
    std::string path = dir.file("");
    if (path.back() != '\\') path += '\\';
    EXPECT_LT(path.size() + 5, length);
    path += std::string(length - path.size() - 4, 'p') + ".wav";
    return path;
  }

  bool path_unchanged() const {
    char expected[settings_path_capacity] = "C:\\earlier.wav";
    return std::memcmp(impulse_path, expected, sizeof expected) == 0;
  }

  temp_dir dir;
  char impulse_path[settings_path_capacity];
};

}  // namespace

TEST_F(chosen_impulse_test, a_file_that_opens_is_stored_zero_padded) {
  const std::string path = dir.file("hall.wav");
  write_bytes(path, pcm16_wav(1, {1, 2, 3}));
  ASSERT_EQ(store_chosen_impulse(path.c_str(), impulse_path), chosen_impulse::stored);
  EXPECT_EQ(std::string(impulse_path), path);
  for (std::size_t i = path.size(); i < sizeof impulse_path; ++i) {
    ASSERT_EQ(impulse_path[i], '\0') << "byte " << i;
  }
}

TEST_F(chosen_impulse_test, the_longest_path_that_fits_is_stored_whole) {
  const std::string path = file_with_path_length(259);
  write_bytes(path, pcm16_wav(1, {1}));
  ASSERT_EQ(store_chosen_impulse(path.c_str(), impulse_path), chosen_impulse::stored);
  EXPECT_EQ(std::string(impulse_path), path);
}

TEST_F(chosen_impulse_test, a_path_longer_than_259_bytes_is_refused_not_cut) {
  // Cut to 259 bytes it would name another file, or none.
  const std::string path = file_with_path_length(260);
  EXPECT_EQ(store_chosen_impulse(path.c_str(), impulse_path), chosen_impulse::too_long);
  EXPECT_TRUE(path_unchanged());
  const std::string longer = path + std::string(700, 'q');
  EXPECT_EQ(store_chosen_impulse(longer.c_str(), impulse_path), chosen_impulse::too_long);
  EXPECT_TRUE(path_unchanged());
}

TEST_F(chosen_impulse_test, files_that_do_not_open_for_reading_and_update_are_refused) {
  const std::string missing = dir.file("missing.wav");
  EXPECT_EQ(store_chosen_impulse(missing.c_str(), impulse_path), chosen_impulse::refused);
  EXPECT_TRUE(path_unchanged());

  const std::string held = dir.file("held.wav");
  write_bytes(held, pcm16_wav(1, {1}));
  const HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(store_chosen_impulse(held.c_str(), impulse_path), chosen_impulse::refused);
  EXPECT_TRUE(path_unchanged());
  CloseHandle(holder);
}

TEST(plugin_folder, is_the_module_path_up_to_its_last_backslash) {
  char folder[plugin_folder_capacity] = "C:\\Player\\Plugins\\dsp_test.dll";
  cut_to_folder(folder, static_cast<DWORD>(std::strlen(folder)));
  EXPECT_STREQ(folder, "C:\\Player\\Plugins\\");

  char bare[plugin_folder_capacity] = "dsp_test.dll";
  cut_to_folder(bare, static_cast<DWORD>(std::strlen(bare)));
  EXPECT_STREQ(bare, "");
}

TEST(plugin_folder, a_module_path_the_buffer_cannot_hold_gives_no_folder) {
  // The system fills the buffer and cuts the path, maybe inside a folder name;
  // its last backslash then names some folder further up.
  char folder[plugin_folder_capacity];
  std::memset(folder, 'd', sizeof folder);
  std::memcpy(folder, "C:\\", 3);
  folder[100] = '\\';
  folder[plugin_folder_capacity - 1] = '\0';
  cut_to_folder(folder, plugin_folder_capacity);
  EXPECT_STREQ(folder, "");

  // Without the terminator, as older systems leave it.
  std::memset(folder, 'd', sizeof folder);
  folder[2] = '\\';
  cut_to_folder(folder, plugin_folder_capacity);
  EXPECT_STREQ(folder, "");

  // One byte less fits.
  std::memset(folder, 'd', sizeof folder);
  folder[2] = '\\';
  folder[plugin_folder_capacity - 1] = '\0';
  cut_to_folder(folder, plugin_folder_capacity - 1);
  EXPECT_EQ(std::strlen(folder), 3u);
}

TEST(plugin_folder, no_module_path_gives_no_folder) {
  char folder[plugin_folder_capacity] = {};
  cut_to_folder(folder, 0);
  EXPECT_STREQ(folder, "");
}
