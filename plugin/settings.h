#pragma once
// The plug-in's four user settings. The record's bytes are also the whole
// content of the settings file, so its layout is fixed: little-endian, the four
// fields back to back, 272 bytes.
#include <cstddef>
#include <cstdint>

constexpr int settings_path_capacity = 260;

struct settings_record {
  float gain;                                 // linear impulse gain, 1.0 by default
  char impulse_path[settings_path_capacity];  // NUL-terminated, ANSI code page
  std::int32_t show_at_startup;               // 0: init leaves the dialog hidden
  std::int32_t power;                         // 0: every block passes untouched
};

static_assert(sizeof(settings_record) == 272, "the settings file holds exactly 272 bytes");
static_assert(offsetof(settings_record, gain) == 0);
static_assert(offsetof(settings_record, impulse_path) == 4);
static_assert(offsetof(settings_record, show_at_startup) == 264);
static_assert(offsetof(settings_record, power) == 268);

extern settings_record settings_block;

// The power switch is written on the window thread and read by the playback
// thread before every block; both go through these, one atomic 32-bit access.
std::int32_t settings_power();
void set_settings_power(std::int32_t power);

// Position of the last byte of text equal to character (each byte taken as a
// signed 8-bit value), or -1. Knows nothing of double-byte characters.
std::int32_t find_last_char(const char* text, std::int32_t character);

// "<directory of the host executable>Plugins\Ambrelith.cfg" into the buffer.
// When the directory leaves no room for the name in 260 bytes, the buffer is
// left empty and false comes back: no settings file is used at all then,
// rather than a truncated name that could be some other file.
bool settings_file_path(char (&buffer)[settings_path_capacity]);

// Defaults (gain 1.0, no impulse, dialog shown at start-up, power on), then the
// settings file over them when it opens for reading and update.
void load_settings();
// Writes the record to the settings file, creating or truncating it. Nothing is
// saved when the file cannot be created.
void save_settings();
