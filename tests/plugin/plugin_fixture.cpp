#include "tests/plugin/plugin_fixture.h"

#include <cstdio>
#include <cstring>
#include <random>

std::string plugin_dll_path() { return host_directory() + AMBRELITH_PLUGIN_DLL; }

std::string dsp_host_path() { return host_directory() + "dsp_host.exe"; }

std::vector<unsigned char> read_file(const std::string& path, bool* exists) {
  std::vector<unsigned char> bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (exists != nullptr) *exists = file != nullptr;
  if (file == nullptr) return bytes;
  unsigned char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  std::fclose(file);
  return bytes;
}

void write_file(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
  std::fclose(file);
}

void remove_file(const std::string& path) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
}

std::vector<unsigned char> settings_bytes(float gain, const std::string& path,
                                          std::int32_t show_at_startup, std::int32_t power) {
  plugin_settings settings;
  settings.gain = gain;
  settings.impulse_path = path;
  settings.show_at_startup = show_at_startup;
  settings.power = power;
  return plugin_settings_bytes(settings);
}

std::vector<std::int16_t> test_signal(std::size_t frames, std::int32_t channels, std::uint32_t seed,
                                      float peak) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::vector<std::int16_t> samples(frames * static_cast<std::size_t>(channels));
  for (std::int16_t& sample : samples) sample = static_cast<std::int16_t>(unit(random) * peak);
  return samples;
}

std::string in_quotes(const std::string& text) { return "\"" + text + "\""; }

int run_program(const std::string& command_line, std::string* output) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return -1;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end;
  startup.hStdError = write_end;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process{};
  std::string mutable_line = command_line;
  const BOOL started = CreateProcessA(nullptr, mutable_line.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &process);
  CloseHandle(write_end);
  if (!started) {
    CloseHandle(read_end);
    return -1;
  }
  std::string text;
  char buffer[1024];
  DWORD got = 0;
  while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0)
    text.append(buffer, got);
  CloseHandle(read_end);
  DWORD exit_code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &exit_code);
  } else {
    TerminateProcess(process.hProcess, 1);
  }
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  if (output != nullptr) *output = text;
  return static_cast<int>(exit_code);
}

void plugin_test::SetUp() {
  CreateDirectoryA(host_plugins_directory().c_str(), nullptr);
  remove_file(settings_path());
  ASSERT_NE(window_.handle(), nullptr);
}

void plugin_test::TearDown() { remove_file(settings_path()); }
