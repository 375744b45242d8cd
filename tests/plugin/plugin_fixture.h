#pragma once
// What the tests that drive the plug-in DLL share. The test program sits beside
// the DLL and the host program, so its own Plugins folder is the one the
// plug-in keeps its settings file in; every test starts and ends without one.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/host_settings.h"
#include "tools/host_window.h"
#include "tools/plugin_session.h"

// Full path of this build's plug-in DLL and of the host program.
std::string plugin_dll_path();
std::string dsp_host_path();

// The whole content of a file, or nothing (exists false) when it cannot be read.
std::vector<unsigned char> read_file(const std::string& path, bool* exists = nullptr);
void write_file(const std::string& path, const std::vector<unsigned char>& bytes);
// Removes a file even when it is read-only; a missing file is fine.
void remove_file(const std::string& path);

// The settings file as the plug-in would write it for these fields.
std::vector<unsigned char> settings_bytes(float gain, const std::string& path,
                                          std::int32_t show_at_startup, std::int32_t power);

// Interleaved 16-bit test signal: noise at the given peak, the same for a seed.
std::vector<std::int16_t> test_signal(std::size_t frames, std::int32_t channels, std::uint32_t seed,
                                      float peak);

// The text in double quotes, as one argument of a command line.
std::string in_quotes(const std::string& text);

// Runs a program to its end; returns its exit code, or -1 when it did not start
// or ran longer than a minute. Its standard output lands in *output.
int run_program(const std::string& command_line, std::string* output = nullptr);

class plugin_test : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Loads the DLL into the host and takes module 0.
  std::unique_ptr<plugin_session> load() {
    auto session = std::make_unique<plugin_session>(window_, plugin_dll_path());
    EXPECT_TRUE(session->ready()) << session->error();
    return session;
  }
  std::string settings_path() const { return plugin_settings_path(); }
  std::vector<unsigned char> saved_settings(bool* exists = nullptr) const {
    return read_file(settings_path(), exists);
  }

  host_window window_;
};
