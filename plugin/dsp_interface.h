#pragma once
// The two records through which the host reaches a DSP plug-in (header version
// 0x20). The host finds the one export by name, reads the header, takes module
// 0 from it and calls the module's entry points, passing the module back as
// the first argument. Every entry point uses the C calling convention.
#include <cstddef>
#include <cstdint>

#include "platform/win32.h"

struct dsp_module;

using dsp_module_getter = dsp_module*(__cdecl*)(std::int32_t index);
using dsp_config_entry = void(__cdecl*)(dsp_module* module);
using dsp_init_entry = std::int32_t(__cdecl*)(dsp_module* module);
// samples: frames x channels interleaved values of bits_per_sample bits each,
// rewritten in place. Returns the number of frames in the buffer afterwards.
using dsp_modify_samples_entry = std::int32_t(__cdecl*)(dsp_module* module, std::int16_t* samples,
                                                        std::int32_t frames,
                                                        std::int32_t bits_per_sample,
                                                        std::int32_t channels,
                                                        std::int32_t sample_rate);
using dsp_quit_entry = void(__cdecl*)(dsp_module* module);

constexpr std::int32_t dsp_header_version = 0x20;

struct dsp_header {
  std::int32_t version;
  const char* description;
  dsp_module_getter module_getter;
};

struct dsp_module {
  const char* description;
  HWND parent_window;      // filled by the host before init
  HINSTANCE dll_instance;  // filled by the host before init
  dsp_config_entry config;
  dsp_init_entry init;
  dsp_modify_samples_entry modify_samples;
  dsp_quit_entry quit;
  void* user_data;  // the host's; the plug-in never touches it
};

// The name the host looks the header getter up by, and its type.
constexpr char dsp_header_export_name[] = "winampDSPGetHeader2";
using dsp_header_export = dsp_header*(__cdecl*)();

#if defined(_WIN32) && !defined(_WIN64)
// The host reads the records by these 32-bit offsets.
static_assert(sizeof(dsp_header) == 12);
static_assert(offsetof(dsp_header, description) == 4);
static_assert(offsetof(dsp_header, module_getter) == 8);
static_assert(sizeof(dsp_module) == 32);
static_assert(offsetof(dsp_module, parent_window) == 4);
static_assert(offsetof(dsp_module, dll_instance) == 8);
static_assert(offsetof(dsp_module, config) == 12);
static_assert(offsetof(dsp_module, init) == 16);
static_assert(offsetof(dsp_module, modify_samples) == 20);
static_assert(offsetof(dsp_module, quit) == 24);
static_assert(offsetof(dsp_module, user_data) == 28);
#endif
