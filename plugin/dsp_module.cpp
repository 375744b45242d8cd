#include "plugin/dsp_module.h"

#include <atomic>
#include <cstdint>
#include <cstring>

#include "engine/engine.h"
#include "engine/memory_block.h"
#include "plugin/dialog_ids.h"
#include "plugin/edition.h"
#include "plugin/impulse_info.h"
#include "plugin/module_hold.h"
#include "plugin/plugin_state.h"
#include "plugin/settings.h"
#include "plugin/settings_dialog.h"

HWND settings_dialog = nullptr;
HINSTANCE plugin_instance = nullptr;

namespace {

// Slack behind every temporary float block, in floats (1024 bytes).
constexpr std::uint64_t block_slack_floats = 256;

dsp_module plugin_module = {
    "Ambrelith by Tessaroq",  // description
    nullptr,                  // parent_window: the host's, stored before init
    nullptr,                  // dll_instance: ours, stored by the host before init
    module_config,            // config
    module_init,              // init
    module_modify_samples,    // modify_samples
    module_quit,              // quit
    nullptr,                  // user_data: the host's own
};

dsp_header plugin_header = {dsp_header_version, edition_description, get_module};

// 1 from the end of init to quit. Blocks are processed only while it is set,
// and the module getter leaves the settings alone while it is set.
std::atomic<std::int32_t> module_running{0};
// Calls of modify-samples inside the gate below; quit waits for them to leave.
std::atomic<std::int32_t> blocks_in_progress{0};

// Announces a block, then looks at the running flag; quit clears the flag, then
// waits for the announced blocks. With both in sequentially consistent order,
// either quit sees the block and waits for it, or the block sees quit and
// passes untouched.
bool enter_block() {
  blocks_in_progress.fetch_add(1);
  if (module_running.load() != 0) return true;
  blocks_in_progress.fetch_sub(1);
  return false;
}

void leave_block() { blocks_in_progress.fetch_sub(1); }

// After this no block touches the engine or the limiter until the next init.
void stop_processing() {
  module_running.store(0);
  while (blocks_in_progress.load() != 0) Sleep(1);
}

HWND create_settings_dialog(const dsp_module* module) {
  // The host passes back the record it was given; without one, that record.
  if (module == nullptr) module = &plugin_module;
  return CreateDialogParamA(module->dll_instance, MAKEINTRESOURCEA(SETTINGS_DIALOG_TEMPLATE),
                            module->parent_window, settings_dialog_proc, 0);
}

// Only inside the host's init and quit: the reference the dialog held is let
// go of at once, while the host's own keeps the DLL mapped.
void destroy_settings_dialog() {
  if (settings_dialog == nullptr) return;
  ShowWindow(settings_dialog, SW_HIDE);
  DestroyWindow(settings_dialog);
  settings_dialog = nullptr;
  release_given_up_holds();
}

// Widens, convolves, limits and narrows one block of 1 or 2 channels.
void process_block(std::int16_t* samples, std::int32_t frames, std::int32_t channels) {
  const std::uint64_t floats =
      static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(channels) +
      block_slack_floats;
  // A count no buffer could hold is no block at all: nothing went by.
  if (floats > SIZE_MAX / sizeof(float)) return;
  HGLOBAL handle = nullptr;
  float* block = memory_block_alloc(static_cast<std::size_t>(floats), &handle);
  // Out of memory: the block passes as it came, and the stream moves on
  // without the engine.
  if (block == nullptr) {
    engine_skip_block(frames);
    return;
  }
  pcm16_to_float(samples, block, frames, channels);
  engine_process(block, frames, 16, channels);
  limit_to_pcm16(block, samples, channels, frames);
  memory_block_free(&handle);
}

}  // namespace

// Every call from the host but the blocks lets go of the references that
// windows and boxes of ours gave up since the last one (see module_hold.h).
extern "C" __declspec(dllexport) dsp_header* __cdecl winampDSPGetHeader2() {
  release_given_up_holds();
  return &plugin_header;
}

dsp_module* __cdecl get_module(std::int32_t index) {
  release_given_up_holds();
  if (index != 0) return nullptr;
  // A repeated call while the module runs must not wipe the settings in use,
  // which quit would then save over the user's file.
  if (module_running.load() == 0) {
    std::memset(&settings_block, 0, sizeof settings_block);
    std::memset(&impulse_info, 0, sizeof impulse_info);
  }
  return &plugin_module;
}

std::int32_t __cdecl module_init(dsp_module* module) {
  release_given_up_holds();
  if (module_running.load() != 0) {
    // Init again without quit: the engine is rebuilt from scratch, so no block
    // may be inside it, and its arrays must not be lost.
    stop_processing();
    engine_release();
  }
  destroy_settings_dialog();

  load_settings();
  // Without an impulse the engine lets blocks through unconvolved.
  engine_init(settings_block.gain, settings_block.impulse_path);
  plugin_instance = (module != nullptr ? module : &plugin_module)->dll_instance;
  settings_dialog = create_settings_dialog(module);
  if (settings_dialog != nullptr) {
    ShowWindow(settings_dialog, settings_block.show_at_startup != 0 ? SW_SHOW : SW_HIDE);
  }
  module_running.store(1);
  return 0;
}

void __cdecl module_config(dsp_module* module) {
  release_given_up_holds();
  if (settings_dialog == nullptr) settings_dialog = create_settings_dialog(module);
  // A dialog that could not be created is tried again at the next config.
  if (settings_dialog != nullptr) ShowWindow(settings_dialog, SW_SHOW);
}

std::int32_t __cdecl module_modify_samples(dsp_module*, std::int16_t* samples, std::int32_t frames,
                                           std::int32_t bits_per_sample, std::int32_t channels,
                                           std::int32_t) {
  // No audio: nothing went by.
  if (frames < 0 || (samples == nullptr && frames != 0)) return frames;
  if (!enter_block()) return frames;
  // The engine has work and tail buffers for 16-bit blocks of up to two
  // channels. Any other block passes as it came, and so does every block with
  // the power off: the limiter keeps what it holds, and the engine only learns
  // that the stream went on without it.
  if (bits_per_sample == 16 && (channels == 1 || channels == 2) && settings_power() != 0) {
    process_block(samples, frames, channels);
  } else {
    engine_skip_block(frames);
  }
  leave_block();
  return frames;
}

void __cdecl module_quit(dsp_module*) {
  release_given_up_holds();
  // Before init the record holds the getter's zeros, not the user's settings.
  if (module_running.load() != 0) save_settings();
  // Every stream the plug-in opens is closed by the function that opened it,
  // so nothing of ours is left open here. Closing "all open streams" is not an
  // option: the C runtime is the system's, shared with the host and every
  // other module in the process, and that would close their files too.
  destroy_settings_dialog();
  stop_processing();
  engine_release();
}
