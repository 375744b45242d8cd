// The byte search and the settings-file path, apart from the DLL.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32.h"
#include "plugin/settings.h"
#include "plugin/settings_path.h"

namespace {

std::string path_for(const std::string& executable, bool* formed = nullptr) {
  char buffer[settings_path_capacity];
  std::memset(buffer, 'z', sizeof buffer);
  const bool ok = settings_path_for_executable(executable.c_str(), buffer);
  if (formed != nullptr) *formed = ok;
  EXPECT_EQ(buffer[settings_path_capacity - 1], '\0');
  return buffer;
}

}  // namespace

TEST(find_last_char, finds_the_last_matching_byte_or_gives_minus_one) {
  EXPECT_EQ(find_last_char("C:\\Program Files\\host.exe", '\\'), 16);
  EXPECT_EQ(find_last_char("\\", '\\'), 0);
  EXPECT_EQ(find_last_char("host.exe", '\\'), -1);
  EXPECT_EQ(find_last_char("", '\\'), -1);
  EXPECT_EQ(find_last_char("", 0), -1) << "the terminator is not part of the text";
}

TEST(find_last_char, compares_bytes_as_signed_values_and_knows_no_double_byte_characters) {
  // 誠 is D5 5C in code page 936: its second byte is a backslash.
  const char text[] =
      "C:\\\xD5\x5C\\a\xD5\x5C"
      "b";
  EXPECT_EQ(find_last_char(text, '\\'), 8);
  EXPECT_EQ(find_last_char(text, static_cast<signed char>('\xD5')), 7);
  EXPECT_EQ(find_last_char(text, 0xD5), -1) << "0xD5 as an unsigned value matches no signed byte";
}

TEST(settings_file_path, is_the_host_directory_followed_by_the_fixed_name) {
  EXPECT_EQ(path_for("C:\\Program Files\\Player\\player.exe"),
            "C:\\Program Files\\Player\\Plugins\\Ambrelith.cfg");
  // Whatever the name of the executable.
  EXPECT_EQ(path_for("D:\\x\\"), "D:\\x\\Plugins\\Ambrelith.cfg");
}

TEST(settings_file_path, without_a_backslash_is_relative_to_the_current_directory) {
  EXPECT_EQ(path_for("player.exe"), "Plugins\\Ambrelith.cfg");
  EXPECT_EQ(path_for(""), "Plugins\\Ambrelith.cfg");
}

TEST(settings_file_path, is_cut_after_a_trailing_0x5c_byte_of_a_double_byte_character) {
  // 誠 (D5 5C) opens the file name: the cut falls after its second byte.
  EXPECT_EQ(path_for("C:\\Player\\\xD5\x5Cplayer.exe"),
            "C:\\Player\\\xD5\x5CPlugins\\Ambrelith.cfg");
}

// A directory of more than 238 bytes leaves no room for the name in 260 bytes
// (choice: no settings file at all rather than a cut-off name).
TEST(settings_file_path, a_directory_too_long_for_the_name_gives_no_path) {
  const std::string name = "Plugins\\Ambrelith.cfg";
  const std::string longest_directory = "C:\\" + std::string(234, 'd') + "\\";
  ASSERT_EQ(longest_directory.size(), 238u);
  bool formed = false;
  EXPECT_EQ(path_for(longest_directory + "player.exe", &formed), longest_directory + name);
  EXPECT_TRUE(formed);
  EXPECT_EQ(
      path_for(longest_directory + "much-longer-player-name-" + std::string(100, 'x') + ".exe",
               &formed)
          .size(),
      259u);

  const std::string too_long = "C:\\" + std::string(235, 'd') + "\\";
  EXPECT_EQ(path_for(too_long + "player.exe", &formed), "");
  EXPECT_FALSE(formed);
  EXPECT_EQ(path_for("C:\\" + std::string(1000, 'd') + "\\player.exe", &formed), "");
  EXPECT_FALSE(formed);
}

TEST(settings_file_path, of_this_process_names_the_plugins_folder_beside_the_executable) {
  char executable[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(nullptr, executable, sizeof executable), 0u);
  std::string expected = executable;
  expected = expected.substr(0, expected.find_last_of('\\') + 1) + "Plugins\\Ambrelith.cfg";
  char buffer[settings_path_capacity];
  ASSERT_TRUE(settings_file_path(buffer));
  EXPECT_EQ(std::string(buffer), expected);
}
