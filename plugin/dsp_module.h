#pragma once
// The entry points behind the header and module records that the host reads.
#include <cstdint>

#include "plugin/dsp_interface.h"

// The module getter: module 0 is the only one. While the module is not
// initialised, index 0 also clears the settings and the impulse information.
dsp_module* __cdecl get_module(std::int32_t index);

// Loads the settings, initialises the engine and creates the settings dialog.
// Always returns 0.
std::int32_t __cdecl module_init(dsp_module* module);
// Creates the dialog when none exists, and shows it.
void __cdecl module_config(dsp_module* module);
// Processes one block of the host's audio in place while the module runs with
// power on: 16-bit blocks of 1 or 2 channels only, anything else passes
// untouched. Returns the frame count it was given.
std::int32_t __cdecl module_modify_samples(dsp_module* module, std::int16_t* samples,
                                           std::int32_t frames, std::int32_t bits_per_sample,
                                           std::int32_t channels, std::int32_t sample_rate);
// Saves the settings, destroys the dialog and releases the engine once no
// block is in progress any more.
void __cdecl module_quit(dsp_module* module);
