#include "tools/host_settings.h"

#include <cstdio>
#include <cstring>

#include "platform/win32.h"

namespace {

constexpr std::size_t settings_file_bytes = 272;
constexpr std::size_t path_field_bytes = 260;

void put_u32(std::vector<unsigned char>& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
}

}  // namespace

std::string host_directory() {
  std::string path(32768, '\0');
  const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length < path.size() ? length : 0);
  const std::size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string host_plugins_directory() { return host_directory() + "Plugins\\"; }

std::string plugin_settings_path() { return host_plugins_directory() + "Ambrelith.cfg"; }

std::vector<unsigned char> plugin_settings_bytes(const plugin_settings& settings) {
  std::vector<unsigned char> bytes(settings_file_bytes, 0);
  std::uint32_t gain_bits = 0;
  std::memcpy(&gain_bits, &settings.gain, sizeof gain_bits);
  put_u32(bytes, 0, gain_bits);
  const std::size_t path_bytes = settings.impulse_path.size() < path_field_bytes
                                     ? settings.impulse_path.size()
                                     : path_field_bytes - 1;
  std::memcpy(bytes.data() + 4, settings.impulse_path.data(), path_bytes);
  put_u32(bytes, 264, static_cast<std::uint32_t>(settings.show_at_startup));
  put_u32(bytes, 268, static_cast<std::uint32_t>(settings.power));
  return bytes;
}

bool write_plugin_settings(const plugin_settings& settings) {
  if (settings.impulse_path.size() >= path_field_bytes) return false;
  CreateDirectoryA(host_plugins_directory().c_str(), nullptr);
  const std::vector<unsigned char> bytes = plugin_settings_bytes(settings);
  std::FILE* file = std::fopen(plugin_settings_path().c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}
