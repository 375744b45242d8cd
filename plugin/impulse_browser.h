#pragma once
// Choosing the impulse file with the system's open-file dialog.
#include <cstdint>

#include "platform/win32.h"
#include "plugin/settings.h"

// Lets the user pick a WAV file, starting in the folder of the plug-in's own
// DLL, and stores it as the impulse path of the settings. Returns 1 when a file
// was chosen, opened for reading and update, and stored; 0 when nothing was
// changed (cancelled, the file would not open, or its path does not fit).
std::int32_t browse_impulse_file();

// What became of a chosen file.
enum class chosen_impulse {
  stored,    // the path now stands in the impulse path field
  too_long,  // more than 259 bytes: not stored
  refused,   // does not open for reading and update: not stored
};

// Stores chosen in impulse_path (zero-padded) when it fits and the file opens
// for reading and update; otherwise leaves impulse_path as it was.
chosen_impulse store_chosen_impulse(const char* chosen,
                                    char (&impulse_path)[settings_path_capacity]);

constexpr DWORD plugin_folder_capacity = 256;

// Cuts a module path, as GetModuleFileNameA left it in folder with the length
// it returned, after its last backslash. A path that filled the buffer was cut
// short by the system, so its folder is unknown: the result is then empty, and
// so it is without any backslash.
void cut_to_folder(char (&folder)[plugin_folder_capacity], DWORD length);
