// The finished plug-in DLL of this build's edition as the system's file
// properties show it: the edition's version block. That it loads, exports its
// header getter and hands out its description in code page 936 is tested
// through the host in tests/plugin/header_module_tests.cpp.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

struct version_block {
  bool found = false;
  VS_FIXEDFILEINFO fixed{};
  std::wstring file_version;
  std::wstring product_version;
  std::wstring file_description;
};

std::wstring query_string(std::vector<char>& data, const wchar_t* name) {
  std::wstring key = std::wstring(L"\\StringFileInfo\\080403a8\\") + name;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), key.c_str(), &value, &length) || length == 0) return L"";
  return std::wstring(static_cast<const wchar_t*>(value), length - 1);
}

version_block read_version_block(const char* path) {
  version_block block;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return block;
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(path, 0, size, data.data())) return block;
  void* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\", &fixed, &length) || length < sizeof(VS_FIXEDFILEINFO)) {
    return block;
  }
  block.found = true;
  block.fixed = *static_cast<VS_FIXEDFILEINFO*>(fixed);
  block.file_version = query_string(data, L"FileVersion");
  block.product_version = query_string(data, L"ProductVersion");
  block.file_description = query_string(data, L"FileDescription");
  return block;
}

#if AMBRELITH_EDITION_SSE
constexpr DWORD product_version_low = 0x00000000;  // 1.3.0.0
const wchar_t* const product_version_text = L"1.3.0.0";
const wchar_t* const edition_description = L"Ambrelith-\u6d6e\u70b9SSE\u7248";
#else
constexpr DWORD product_version_low = 0x00000001;  // 1.3.0.1
const wchar_t* const product_version_text = L"1.3.0.1";
const wchar_t* const edition_description = L"Ambrelith-\u6d6e\u70b9\u6807\u51c6\u7248";
#endif

}  // namespace

TEST(plugin_dll, version_block_matches_the_edition) {
  version_block block = read_version_block(AMBRELITH_PLUGIN_DLL);
  ASSERT_TRUE(block.found);
  EXPECT_EQ(block.fixed.dwFileVersionMS, 0x00010003u);
  EXPECT_EQ(block.fixed.dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(block.fixed.dwProductVersionMS, 0x00010003u);
  EXPECT_EQ(block.fixed.dwProductVersionLS, product_version_low);
  EXPECT_EQ(block.file_version, L"1.3.0.1");
  EXPECT_EQ(block.product_version, product_version_text);
  // The resource compiler read the UTF-8 script correctly.
  EXPECT_EQ(block.file_description, edition_description);
}
