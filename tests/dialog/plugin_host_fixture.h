#pragma once
// A host of our own with the plug-in DLL of this build loaded as a player loads
// it: the common controls registered, a window thread with its message loop,
// header, module 0, init and quit on that thread, blocks from the test thread.
// The settings file in the host's Plugins folder is prepared before init and
// read back after quit.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "plugin/dialog_ids.h"
#include "tests/dialog/dialog_driver.h"
#include "tests/support/test_files.h"
#include "tools/host_settings.h"
#include "tools/host_window.h"
#include "tools/plugin_session.h"

// The settings file's four fields as the plug-in saved them.
struct saved_settings {
  float gain = 0.0f;
  std::string impulse_path;
  std::int32_t show_at_startup = 0;
  std::int32_t power = 0;
};

// A 16-bit stereo impulse at 44100 Hz of `frames` frames whose first frame is
// `amplitude` in both channels and whose others are silent: a plain echo-free
// scale by amplitude / 32768.
void write_echo_free_impulse(const std::string& path, std::int16_t amplitude,
                             std::int32_t frames = 300, std::int32_t channels = 2);

class plugin_host_test : public testing::Test {
 protected:
  void TearDown() override;

  // Writes the settings file, loads the DLL and calls init; the dialog exists
  // afterwards (shown or not, as show_at_startup says).
  void start(const plugin_settings& settings);
  // Quits, then loads the DLL afresh and calls init with the settings as saved.
  void restart();
  // Writes the settings file and loads the DLL, without init: the host has
  // filled in its window and the DLL's instance, nothing more.
  void load(const plugin_settings& settings);
  // Calls config and takes the one settings dialog the host's window owns.
  void config_and_find_dialog();
  // Quits and reads back what the plug-in saved.
  saved_settings quit_and_read_settings();
  // What the plug-in saved last.
  saved_settings read_saved_settings();
  // The player unloads the plug-in on its window thread, with quit or without
  // (plugin_session::unload). dialog() is null afterwards.
  void unload_on_window_thread(bool with_quit);
  // Loads the DLL and unloads it again, as a player that lists its plug-ins
  // does, until it is gone from the process: true when it went within a second
  // (the window thread may still be on its way out of a box of the plug-in).
  bool plugin_unloads_completely();

  HWND dialog() const { return dialog_; }
  host_window& window() { return *window_; }
  plugin_session& session() { return *session_; }

  // Streams a steady level of 8000 through the plug-in in stereo blocks until
  // the limiter's delay has passed, and gives the last sample that came out.
  int steady_output_level();
  // One block through the plug-in: true when it came back exactly as it went.
  bool block_passes_untouched();

  // Hides the dialog with its OK button and shows it again through config:
  // two refreshes.
  void hide_and_show_again();

  // A path in this test's own folder.
  std::string file(const std::string& name) const { return files_.file(name); }

 private:
  void close_modal_windows();
  // Quits when a dialog is left, then unloads the DLL.
  void unload();
  void load_dll();

  temp_dir files_;
  std::unique_ptr<host_window> window_;
  std::unique_ptr<plugin_session> session_;
  HWND dialog_ = nullptr;
};

// The expected output level for an impulse amplitude and a gain, and how far
// the limiter's smoothing and the transforms' rounding may leave it.
int expected_level(std::int16_t amplitude, double gain);
constexpr int level_tolerance = 12;
