#pragma once
// How the settings-file path is formed from the host executable's path, apart
// from asking the system for it.
#include "plugin/settings.h"

// "<executable up to its last backslash>Plugins\Ambrelith.cfg" into the buffer;
// without a backslash just the name, relative to the current directory. A
// directory too long to leave room for the name gives an empty buffer and false.
bool settings_path_for_executable(const char* executable, char (&buffer)[settings_path_capacity]);
