// A host whose directory leaves no room for "Plugins\Ambrelith.cfg" in 260
// bytes (choice): the plug-in neither reads nor writes any settings file, so
// it runs on its defaults and leaves no cut-off file name behind.
#include "tests/plugin/plugin_fixture.h"
#include "tools/demo_signals.h"
#include "tools/wav_file.h"

namespace {

std::wstring widen(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  wide.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(),
                                                           static_cast<int>(wide.size()))) -
              1);
  return wide;
}

std::string narrow(const std::wstring& wide) {
  std::string text(4 * wide.size() + 1, '\0');
  text.resize(static_cast<std::size_t>(WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text.data(),
                                                           static_cast<int>(text.size()), nullptr,
                                                           nullptr)) -
              1);
  return text;
}

// Long paths go through the wide functions with the \\?\ prefix.
std::wstring long_form(const std::wstring& path) { return L"\\\\?\\" + path; }

bool write_wide_file(const std::wstring& path, const std::vector<unsigned char>& bytes) {
  HANDLE file = CreateFileW(long_form(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

std::vector<unsigned char> read_wide_file(const std::wstring& path) {
  std::vector<unsigned char> bytes;
  HANDLE file = CreateFileW(long_form(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(4096);
  DWORD got = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  bytes.resize(got);
  CloseHandle(file);
  return bytes;
}

std::vector<std::wstring> files_in(const std::wstring& directory) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(long_form(directory + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (found.cFileName[0] != L'.') names.push_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

// A copy of the host program in a directory of exactly `length` bytes with its
// trailing backslash, beside this test program; removed with all it holds.
class deep_host {
 public:
  explicit deep_host(std::size_t length) {
    root_ = widen(host_directory()) + L"long-host-directory";
    CreateDirectoryW(long_form(root_).c_str(), nullptr);
    directory_ = root_;
    for (wchar_t letter = L'a'; directory_.size() + 1 < length; ++letter) {
      const std::size_t missing = length - (directory_.size() + 1);
      // A backslash and up to 60 letters per level, never a last level of none.
      const std::size_t letters = missing <= 61 ? missing - 1 : (missing == 62 ? 50 : 60);
      directory_ += L"\\" + std::wstring(letters, letter);
      CreateDirectoryW(long_form(directory_).c_str(), nullptr);
    }
    CreateDirectoryW(long_form(plugins()).c_str(), nullptr);
    copied_ = CopyFileW(widen(dsp_host_path()).c_str(), long_form(program()).c_str(), FALSE) != 0;
  }
  ~deep_host() {
    for (const std::wstring& name : files_in(plugins())) {
      DeleteFileW(long_form(plugins() + L"\\" + name).c_str());
    }
    DeleteFileW(long_form(program()).c_str());
    RemoveDirectoryW(long_form(plugins()).c_str());
    for (std::wstring level = directory_; level.size() >= root_.size();
         level = level.substr(0, level.rfind(L'\\'))) {
      RemoveDirectoryW(long_form(level).c_str());
    }
  }
  deep_host(const deep_host&) = delete;
  deep_host& operator=(const deep_host&) = delete;

  bool ready() const { return copied_; }
  std::size_t directory_bytes() const { return narrow(directory_).size() + 1; }
  std::wstring plugins() const { return directory_ + L"\\Plugins"; }
  std::wstring program() const { return directory_ + L"\\dsp_host.exe"; }

 private:
  std::wstring root_;
  std::wstring directory_;
  bool copied_ = false;
};

}  // namespace

using long_host_directory = plugin_test;

TEST_F(long_host_directory, uses_no_settings_file_at_all) {
  // 245 bytes: a name cut at 259 bytes would end inside the Plugins folder.
  deep_host host(245);
  ASSERT_TRUE(host.ready());
  ASSERT_EQ(host.directory_bytes(), 245u);

  // Where the settings file would be, one that says power off.
  const std::vector<unsigned char> stored = settings_bytes(1.0f, "", 0, 0);
  ASSERT_TRUE(write_wide_file(host.plugins() + L"\\Ambrelith.cfg", stored));

  const std::string input = host_plugins_directory() + "long-directory-input.wav";
  const std::string output = host_plugins_directory() + "long-directory-output.wav";
  const std::vector<std::int16_t> samples = demo_music(0.1);
  ASSERT_TRUE(write_pcm16_wav(input, 2, demo_sample_rate, samples));
  std::string report;
  const int status =
      run_program(in_quotes(narrow(host.program())) + " " + in_quotes(plugin_dll_path()) + " " +
                      in_quotes(input) + " " + in_quotes(output),
                  &report);
  wav_format format;
  std::vector<std::int16_t> processed;
  const bool read = read_pcm16_wav(output, format, processed);
  remove_file(input);
  remove_file(output);

  ASSERT_EQ(status, 0) << report;
  EXPECT_EQ(files_in(host.plugins()), std::vector<std::wstring>{L"Ambrelith.cfg"})
      << "a cut-off name was used";
  EXPECT_EQ(read_wide_file(host.plugins() + L"\\Ambrelith.cfg"), stored) << "the file was written";
  ASSERT_TRUE(read);
  EXPECT_NE(processed, samples) << "the file says power off: it was read";
}
