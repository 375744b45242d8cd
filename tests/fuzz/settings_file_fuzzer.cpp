// Arbitrary bytes as the settings file: read at start-up, then written back at
// quit. The record must take exactly the file's first 272 bytes over the
// defaults, with a path that always ends inside its field, and the file must
// come back as exactly the record's 272 bytes. The same bytes, as the host's
// executable path, must give a settings path that fits its buffer.
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/win32.h"
#include "plugin/settings.h"
#include "plugin/settings_path.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// The settings file goes into the scratch folder: the host "executable" is a
// Windows-style path whose directory is a name inside that folder.
const std::string& settings_path() {
  static const std::string path = [] {
    platform_set_module_file_name(fuzz_scratch_folder().file("C:\\Player\\player.exe").c_str());
    char buffer[settings_path_capacity];
    FUZZ_CHECK(settings_file_path(buffer));
    return std::string(buffer);
  }();
  return path;
}

settings_record expected_record(const std::uint8_t* data, std::size_t size) {
  settings_record expected{};
  expected.gain = 1.0f;
  expected.show_at_startup = 1;
  expected.power = 1;
  std::memcpy(&expected, data, size < sizeof expected ? size : sizeof expected);
  expected.impulse_path[settings_path_capacity - 1] = '\0';
  return expected;
}

void check_executable_path(const std::uint8_t* data, std::size_t size) {
  const std::string executable(reinterpret_cast<const char*>(data), size);
  char buffer[settings_path_capacity];
  std::memset(buffer, 'x', sizeof buffer);
  const bool formed = settings_path_for_executable(executable.c_str(), buffer);
  const std::size_t length = strnlen(buffer, sizeof buffer);
  FUZZ_CHECK(length < sizeof buffer);
  FUZZ_CHECK(formed == (length > 0));
  if (formed) {
    const std::string name = "Plugins\\Ambrelith.cfg";
    FUZZ_CHECK(length >= name.size());
    FUZZ_CHECK(std::string(buffer + length - name.size()) == name);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = settings_path();
  write_fuzz_file(path, data, size);

  std::memset(&settings_block, 0xA5, sizeof settings_block);
  load_settings();
  const settings_record expected = expected_record(data, size);
  FUZZ_CHECK(std::memcmp(&settings_block, &expected, sizeof expected) == 0);
  FUZZ_CHECK(settings_power() == expected.power);

  save_settings();
  std::string saved;
  FUZZ_CHECK(read_fuzz_file(path, &saved));
  FUZZ_CHECK(saved.size() == sizeof(settings_record));
  FUZZ_CHECK(std::memcmp(saved.data(), &expected, sizeof expected) == 0);

  check_executable_path(data, size);
  return 0;
}
