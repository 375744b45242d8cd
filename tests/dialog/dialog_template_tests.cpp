// Dialog template 101 exactly as the DLL carries it: an extended template in
// Chinese (PRC) with its style, size, caption, font and twelve controls in tab
// order, texts stored as UTF-16 from the UTF-8 script. And the DLL's manifest,
// which must not pull in another version of the common controls: the trackbar
// is the class the host has registered.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/dialog/dialog_driver.h"
// The system headers below build on the platform header above.
#include <commctrl.h>

namespace {

constexpr WORD chinese_prc = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
static_assert(chinese_prc == 2052);

struct data_file {
  HMODULE module = LoadLibraryExA(plugin_dll_path().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ~data_file() {
    if (module != nullptr) FreeLibrary(module);
  }
};

// Reads the template's variable-length fields in order.
class template_reader {
 public:
  template_reader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

  bool overrun() const { return overrun_; }
  std::uint16_t word() { return static_cast<std::uint16_t>(take(2)); }
  std::uint32_t dword() { return take(4); }
  std::int16_t coordinate() { return static_cast<std::int16_t>(word()); }
  std::uint8_t byte() { return static_cast<std::uint8_t>(take(1)); }
  void align_to_dword() { at_ = (at_ + 3) & ~std::size_t{3}; }

  std::wstring string() {
    std::wstring text;
    for (wchar_t c = static_cast<wchar_t>(word()); c != 0 && !overrun_;
         c = static_cast<wchar_t>(word())) {
      text += c;
    }
    return text;
  }
  // A name or ordinal: ordinals of the predefined control classes come back
  // as their class names; other ordinals as "#n"; no entry as "".
  std::wstring name_or_ordinal() {
    const std::uint16_t first = word();
    if (first == 0) return L"";
    if (first != 0xFFFF) {
      at_ -= 2;
      return string();
    }
    const std::uint16_t ordinal = word();
    switch (ordinal) {
      case 0x80:
        return L"BUTTON";
      case 0x81:
        return L"EDIT";
      case 0x82:
        return L"STATIC";
      default:
        return L"#" + std::to_wstring(ordinal);
    }
  }

 private:
  std::uint32_t take(std::size_t bytes) {
    if (at_ + bytes > size_) {
      overrun_ = true;
      return 0;
    }
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i) value |= std::uint32_t{data_[at_ + i]} << (8 * i);
    at_ += bytes;
    return value;
  }

  const unsigned char* data_;
  std::size_t size_;
  std::size_t at_ = 0;
  bool overrun_ = false;
};

struct control_layout {
  std::int32_t id;
  std::wstring class_name;
  std::uint32_t style;
  std::wstring text;
  std::int16_t x, y, width, height;
};

constexpr std::uint32_t child = WS_CHILD | WS_VISIBLE;

const std::vector<control_layout>& expected_controls() {
  static const std::vector<control_layout> controls = {
      {-1, L"BUTTON", child | BS_GROUPBOX, L"脉冲回馈", 7, 7, 296, 90},
      {-1, L"STATIC", child | SS_LEFT | WS_GROUP, L"脉冲回馈样本:", 15, 21, 53, 9},
      {1000, L"EDIT", child | ES_LEFT | ES_READONLY | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, L"",
       15, 33, 251, 12},
      {1001, L"BUTTON", child | BS_PUSHBUTTON | WS_TABSTOP, L"...", 270, 33, 23, 12},
      {1002, L"EDIT",
       child | ES_MULTILINE | ES_READONLY | WS_BORDER | WS_VSCROLL | ES_AUTOVSCROLL | WS_TABSTOP,
       L"", 15, 51, 278, 35},
      {-1, L"STATIC", child | SS_LEFT | WS_GROUP, L"增益:", 7, 117, 23, 9},
      {1003, L"msctls_trackbar32", child | TBS_HORZ | TBS_BOTH | TBS_NOTICKS | WS_TABSTOP,
       L"Slider1", 29, 114, 231, 14},
      {1008, L"STATIC", child | SS_CENTER | SS_CENTERIMAGE | WS_GROUP, L"0.0dB", 263, 114, 40, 12},
      {1004, L"BUTTON", child | BS_AUTOCHECKBOX | WS_TABSTOP, L"电源(&P)", 7, 138, 45, 14},
      {1005, L"BUTTON", child | BS_PUSHBUTTON | WS_TABSTOP, L"确定(&O)", 7, 163, 114, 31},
      {1006, L"BUTTON", child | BS_PUSHBUTTON | WS_TABSTOP, L"关于(&A)", 225, 163, 78, 31},
      {1007, L"BUTTON", child | BS_AUTOCHECKBOX | WS_TABSTOP, L"在启动时显示本窗口", 128, 173, 90,
       12},
  };
  return controls;
}

BOOL CALLBACK collect_language(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found) {
  reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
  return TRUE;
}

std::string resource_text(HMODULE module, LPCSTR type, LPCSTR name) {
  const HRSRC found = FindResourceA(module, name, type);
  if (found == nullptr) return "";
  const void* data = LockResource(LoadResource(module, found));
  return std::string(static_cast<const char*>(data), SizeofResource(module, found));
}

}  // namespace

TEST(dialog_template, exists_once_in_chinese_prc) {
  data_file dll;
  ASSERT_NE(dll.module, nullptr) << GetLastError();
  std::vector<WORD> languages;
  EnumResourceLanguagesA(dll.module, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(101), collect_language,
                         reinterpret_cast<LONG_PTR>(&languages));
  EXPECT_EQ(languages, std::vector<WORD>{chinese_prc});
}

TEST(dialog_template, holds_the_dialogs_frame_font_and_controls_in_tab_order) {
  data_file dll;
  ASSERT_NE(dll.module, nullptr) << GetLastError();
  const HRSRC found =
      FindResourceExA(dll.module, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(101), chinese_prc);
  ASSERT_NE(found, nullptr);
  template_reader in(
      static_cast<const unsigned char*>(LockResource(LoadResource(dll.module, found))),
      SizeofResource(dll.module, found));

  EXPECT_EQ(in.word(), 1) << "extended template version";
  EXPECT_EQ(in.word(), 0xFFFF) << "extended template signature";
  EXPECT_EQ(in.dword(), 0u) << "help id";
  EXPECT_EQ(in.dword(), 0u) << "extended style";
  // Hidden at creation, no system menu and so no close box.
  EXPECT_EQ(in.dword(), std::uint32_t{WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT});
  const std::uint16_t control_count = in.word();
  EXPECT_EQ(control_count, expected_controls().size());
  EXPECT_EQ(in.coordinate(), 0);
  EXPECT_EQ(in.coordinate(), 0);
  EXPECT_EQ(in.coordinate(), 310);
  EXPECT_EQ(in.coordinate(), 201);
  EXPECT_EQ(in.name_or_ordinal(), L"") << "menu";
  EXPECT_EQ(in.name_or_ordinal(), L"") << "dialog class";
  EXPECT_EQ(in.string(), L"Ambrelith");
  EXPECT_EQ(in.word(), 9) << "point size";
  EXPECT_EQ(in.word(), 0) << "weight";
  EXPECT_EQ(in.byte(), 0) << "italic";
  EXPECT_EQ(in.byte(), 0) << "character set";
  EXPECT_EQ(in.string(), L"宋体");

  for (std::size_t i = 0; i < control_count && i < expected_controls().size(); ++i) {
    const control_layout& want = expected_controls()[i];
    SCOPED_TRACE("control " + std::to_string(i) + ", id " + std::to_string(want.id));
    in.align_to_dword();
    EXPECT_EQ(in.dword(), 0u) << "help id";
    EXPECT_EQ(in.dword(), 0u) << "extended style";
    EXPECT_EQ(in.dword(), want.style);
    EXPECT_EQ(in.coordinate(), want.x);
    EXPECT_EQ(in.coordinate(), want.y);
    EXPECT_EQ(in.coordinate(), want.width);
    EXPECT_EQ(in.coordinate(), want.height);
    EXPECT_EQ(static_cast<std::int32_t>(in.dword()), want.id);
    // Window classes are found without regard to case; our resource compiler
    // stores a class given by name in capitals.
    const std::wstring class_name = in.name_or_ordinal();
    EXPECT_EQ(lstrcmpiW(class_name.c_str(), want.class_name.c_str()), 0) << "class";
    EXPECT_EQ(in.name_or_ordinal(), want.text);
    EXPECT_EQ(in.word(), 0) << "creation data";
  }
  EXPECT_FALSE(in.overrun());
}

TEST(manifest, names_no_other_common_controls) {
  data_file dll;
  ASSERT_NE(dll.module, nullptr) << GetLastError();
  const std::string manifest = resource_text(dll.module, MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(2));
  ASSERT_FALSE(manifest.empty()) << "the DLL carries its manifest as resource 2";
  EXPECT_NE(manifest.find("<assembly"), std::string::npos);
  EXPECT_EQ(manifest.find("Common-Controls"), std::string::npos);
}
