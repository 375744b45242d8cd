#include "tests/dialog/plugin_host_fixture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr std::int32_t block_frames = 512;
constexpr std::int16_t input_level = 8000;
// Enough blocks for the limiter's 255-frame delay and its gain to settle.
constexpr int blocks_to_settle = 8;
constexpr DWORD window_timeout_ms = 10000;

}  // namespace

void write_echo_free_impulse(const std::string& path, std::int16_t amplitude, std::int32_t frames,
                             std::int32_t channels) {
  std::vector<std::int16_t> samples(static_cast<std::size_t>(frames * channels), 0);
  for (std::int32_t c = 0; c < channels; ++c) samples[static_cast<std::size_t>(c)] = amplitude;
  write_bytes(path, pcm16_wav(channels, samples));
}

int expected_level(std::int16_t amplitude, double gain) {
  return static_cast<int>(input_level * (amplitude / 32768.0) * gain * 0.9999);
}

void plugin_host_test::TearDown() {
  unload();
  window_.reset();
  DeleteFileA(plugin_settings_path().c_str());
}

void plugin_host_test::unload() {
  close_modal_windows();
  // A dialog still there (config makes one before init too) goes with quit,
  // before the DLL that holds its dialog procedure.
  if (session_ != nullptr && dialog_ != nullptr && IsWindow(dialog_)) session_->quit();
  session_.reset();
  dialog_ = nullptr;
}

void plugin_host_test::close_modal_windows() {
  if (dialog_ == nullptr || !IsWindow(dialog_)) return;
  for (HWND owned : owned_dialogs(dialog_)) {
    PostMessageA(owned, WM_COMMAND, IDCANCEL, 0);
    wait_until_destroyed(owned, window_timeout_ms);
  }
}

void plugin_host_test::start(const plugin_settings& settings) {
  ASSERT_TRUE(write_plugin_settings(settings));
  restart();
}

void plugin_host_test::restart() {
  ASSERT_NO_FATAL_FAILURE(load_dll());
  ASSERT_EQ(session_->init(), 0);
  const std::vector<HWND> dialogs = owned_dialogs(window_->handle());
  ASSERT_EQ(dialogs.size(), 1u) << "init creates one settings dialog";
  dialog_ = dialogs.front();
}

void plugin_host_test::load(const plugin_settings& settings) {
  ASSERT_TRUE(write_plugin_settings(settings));
  load_dll();
}

void plugin_host_test::load_dll() {
  unload();
  if (window_ == nullptr) window_ = std::make_unique<host_window>();
  ASSERT_FALSE(window_->is_message_only()) << "the dialog tests need a display";
  session_ = std::make_unique<plugin_session>(*window_, plugin_dll_path());
  ASSERT_TRUE(session_->ready()) << session_->error();
}

void plugin_host_test::config_and_find_dialog() {
  session_->config();
  const std::vector<HWND> dialogs = owned_dialogs(window_->handle());
  ASSERT_EQ(dialogs.size(), 1u) << "config leaves one settings dialog";
  dialog_ = dialogs.front();
}

void plugin_host_test::unload_on_window_thread(bool with_quit) {
  session_->unload(with_quit);
  session_.reset();
  dialog_ = nullptr;
}

bool plugin_host_test::plugin_unloads_completely() {
  for (int attempt = 0; attempt < 50; ++attempt) {
    load_dll();
    unload_on_window_thread(false);
    if (!plugin_dll_loaded()) return true;
    Sleep(20);
  }
  return false;
}

saved_settings plugin_host_test::quit_and_read_settings() {
  close_modal_windows();
  session_->quit();
  dialog_ = nullptr;
  return read_saved_settings();
}

saved_settings plugin_host_test::read_saved_settings() {
  saved_settings saved;
  unsigned char bytes[272] = {};
  std::FILE* file = std::fopen(plugin_settings_path().c_str(), "rb");
  EXPECT_NE(file, nullptr) << "quit saved no settings file";
  if (file == nullptr) return saved;
  EXPECT_EQ(std::fread(bytes, 1, sizeof bytes, file), sizeof bytes);
  EXPECT_EQ(std::fgetc(file), EOF) << "the settings file holds 272 bytes";
  std::fclose(file);
  std::memcpy(&saved.gain, bytes, 4);
  const unsigned char* path = bytes + 4;
  saved.impulse_path.assign(path, std::find(path, path + 260, '\0'));
  std::memcpy(&saved.show_at_startup, bytes + 264, 4);
  std::memcpy(&saved.power, bytes + 268, 4);
  return saved;
}

int plugin_host_test::steady_output_level() {
  std::vector<std::int16_t> block(block_frames * 2);
  for (int i = 0; i < blocks_to_settle; ++i) {
    block.assign(block.size(), input_level);
    EXPECT_EQ(session_->modify_samples(block.data(), block_frames, 16, 2, 44100), block_frames);
  }
  return block[block.size() - 2];
}

bool plugin_host_test::block_passes_untouched() {
  std::vector<std::int16_t> block(block_frames * 2);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::int16_t>(i * 37);
  const std::vector<std::int16_t> sent = block;
  EXPECT_EQ(session_->modify_samples(block.data(), block_frames, 16, 2, 44100), block_frames);
  return block == sent;
}

void plugin_host_test::hide_and_show_again() {
  click(dialog_, CONTROL_OK_BUTTON);
  EXPECT_FALSE(IsWindowVisible(dialog_));
  session_->config();
  EXPECT_TRUE(IsWindowVisible(dialog_));
}
