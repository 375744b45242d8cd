#pragma once
// The host's side of the plug-in's settings file, 272 raw bytes in the host's
// Plugins folder, which a host may prepare before init.
#include <cstdint>
#include <string>
#include <vector>

// The directory of this executable, with its trailing backslash.
std::string host_directory();
// "<host directory>Plugins\".
std::string host_plugins_directory();
// "<host directory>Plugins\Ambrelith.cfg".
std::string plugin_settings_path();

struct plugin_settings {
  float gain = 1.0f;
  std::string impulse_path;  // at most 259 bytes
  std::int32_t show_at_startup = 1;
  std::int32_t power = 1;
};

// The 272 bytes of the settings file for these settings: gain (float), the path
// in a 260-byte field padded with zeros, start-up, power; little-endian.
std::vector<unsigned char> plugin_settings_bytes(const plugin_settings& settings);
// Creates the Plugins folder when missing and writes the file. False when the
// path does not fit its field or the file cannot be written.
bool write_plugin_settings(const plugin_settings& settings);
