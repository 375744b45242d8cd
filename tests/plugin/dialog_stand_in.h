#pragma once
// Until a test can click the dialog's power box, it flips the switch the way
// the dialog does: a 32-bit store into the power field of the plug-in's
// settings record, on the window thread. The record is found in the DLL's
// writable data by the bytes init loaded into it.
#include <cstdint>
#include <vector>

#include "platform/win32.h"

// The power field of the settings record whose first 264 bytes (gain and path
// field) equal those of settings_file, or null when no such record exists.
std::int32_t* find_power_field(HMODULE library, const std::vector<unsigned char>& settings_file);
