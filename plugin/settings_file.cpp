#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win32.h"
#include "plugin/settings.h"
#include "plugin/settings_path.h"

settings_record settings_block{};

std::int32_t settings_power() { return __atomic_load_n(&settings_block.power, __ATOMIC_RELAXED); }

void set_settings_power(std::int32_t power) {
  __atomic_store_n(&settings_block.power, power, __ATOMIC_RELAXED);
}

std::int32_t find_last_char(const char* text, std::int32_t character) {
  if (text == nullptr) return -1;
  for (std::size_t i = std::strlen(text); i-- > 0;) {
    if (static_cast<signed char>(text[i]) == character) return static_cast<std::int32_t>(i);
  }
  return -1;
}

namespace {

constexpr char settings_file_name[] = "Plugins\\Ambrelith.cfg";
// The longest path the system can hand back for a module.
constexpr DWORD longest_module_path = 32768;

}  // namespace

bool settings_path_for_executable(const char* executable, char (&buffer)[settings_path_capacity]) {
  std::memset(buffer, 0, sizeof buffer);
  // Everything up to and including the last backslash; nothing without one.
  const std::size_t directory_length =
      static_cast<std::size_t>(find_last_char(executable, '\\') + 1);
  if (directory_length + sizeof settings_file_name > sizeof buffer) return false;
  std::memcpy(buffer, executable, directory_length);
  std::memcpy(buffer + directory_length, settings_file_name, sizeof settings_file_name);
  return true;
}

bool settings_file_path(char (&buffer)[settings_path_capacity]) {
  char executable[settings_path_capacity] = {};
  const DWORD length = GetModuleFileNameA(nullptr, executable, sizeof executable);
  if (length < sizeof executable) return settings_path_for_executable(executable, buffer);

  // The system cut the path short, possibly inside the directory, whose last
  // backslash would then name a folder further up. Fetch it whole to decide.
  std::memset(buffer, 0, sizeof buffer);
  char* whole = static_cast<char*>(std::calloc(longest_module_path, 1));
  if (whole == nullptr) return false;
  bool formed = false;
  if (GetModuleFileNameA(nullptr, whole, longest_module_path) < longest_module_path) {
    formed = settings_path_for_executable(whole, buffer);
  }
  std::free(whole);
  return formed;
}

void load_settings() {
  settings_record loaded{};
  loaded.gain = 1.0f;
  loaded.show_at_startup = 1;
  loaded.power = 1;

  char path[settings_path_capacity];
  if (settings_file_path(path)) {
    // A shorter file replaces only the leading part of the defaults, a longer
    // one gives only its first 272 bytes.
    if (std::FILE* file = std::fopen(path, "r+b")) {
      // One read; its count is of no interest, whatever arrived stands.
      std::fread(&loaded, sizeof loaded, 1, file);
      std::fclose(file);
    }
  }
  // Every reader of the path expects terminated text; a damaged file is cut at
  // the field's last byte.
  loaded.impulse_path[settings_path_capacity - 1] = '\0';

  settings_block.gain = loaded.gain;
  std::memcpy(settings_block.impulse_path, loaded.impulse_path, sizeof loaded.impulse_path);
  settings_block.show_at_startup = loaded.show_at_startup;
  set_settings_power(loaded.power);
}

void save_settings() {
  char path[settings_path_capacity];
  if (!settings_file_path(path)) return;
  std::FILE* file = std::fopen(path, "w+b");
  if (file == nullptr) return;
  settings_record snapshot = settings_block;
  snapshot.power = settings_power();
  std::fwrite(&snapshot, sizeof snapshot, 1, file);
  std::fclose(file);
}
