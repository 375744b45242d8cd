#pragma once
// One plug-in DLL in the host, from loading to unloading, driven the way a
// player drives its DSP plug-ins: header, module 0, the two fields the host
// fills, init and quit on the window thread, blocks from any thread.
#include <cstdint>
#include <string>

#include "plugin/dsp_interface.h"
#include "tools/host_window.h"

class plugin_session {
 public:
  // Loads the DLL, reads its header and takes module 0, filling parent_window
  // and dll_instance. ready() tells whether all of that worked.
  plugin_session(const host_window& window, const std::string& dll_path);
  // Quits the module if it was initialised and not quit yet, then unloads it.
  ~plugin_session();
  plugin_session(const plugin_session&) = delete;
  plugin_session& operator=(const plugin_session&) = delete;

  bool ready() const { return module_ != nullptr; }
  const std::string& error() const { return error_; }
  HMODULE library() const { return library_; }
  const dsp_header* header() const { return header_; }
  dsp_module* module() const { return module_; }

  // On the window thread.
  std::int32_t init();
  void config();
  void quit();
  // Unloads the DLL on the window thread, as a player does, in one go with
  // quit when with_quit (so inside any modal loop running there); the session
  // holds no DLL afterwards.
  void unload(bool with_quit);
  // On the calling thread, which plays the part of the playback thread.
  std::int32_t modify_samples(std::int16_t* samples, std::int32_t frames,
                              std::int32_t bits_per_sample, std::int32_t channels,
                              std::int32_t sample_rate);

 private:
  const host_window& window_;
  HMODULE library_ = nullptr;
  const dsp_header* header_ = nullptr;
  dsp_module* module_ = nullptr;
  bool initialised_ = false;
  std::string error_;
};
