// The About box of this build's edition, read from the real message box.
#include "tests/dialog/plugin_host_fixture.h"

namespace {

using about_box = plugin_host_test;

const wchar_t about_caption[] = L"关于...";

#if AMBRELITH_EDITION_SSE
const wchar_t instruction_set_line[] = L"使用指令: 浮点SSE指令\n";
#else
const wchar_t instruction_set_line[] = L"使用指令: 浮点指令\n";
#endif

std::wstring expected_about_text() {
  return std::wstring(
             L"Ambrelith插件 1.3.0 beta\n"
             L"Copyright (C) 2024 Tessaroq\n"
             L"\n"
             L"FFT库版本: 1.0.1\n") +
         instruction_set_line +
         L"\n"
         L"http://ambrelith.example.com/\n"
         L"E-mail: tessaroq@example.com\n";
}

int count_children(HWND window, const char* class_name, DWORD style_mask, DWORD style) {
  int count = 0;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    char name[32] = {};
    GetClassNameA(child, name, sizeof name);
    const DWORD child_style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
    if (lstrcmpiA(name, class_name) == 0 && (child_style & style_mask) == style) ++count;
  }
  return count;
}

}  // namespace

TEST_F(about_box, shows_the_editions_text_until_the_user_closes_it) {
  start(plugin_settings{});
  click_later(dialog(), CONTROL_ABOUT_BUTTON);
  const HWND box = wait_for_owned_dialog(dialog(), about_caption, 10000);
  ASSERT_NE(box, nullptr) << "no About box appeared";

  EXPECT_EQ(first_static_text(box), expected_about_text());
  // An information icon and one button, OK.
  EXPECT_EQ(count_children(box, "Static", SS_TYPEMASK, SS_ICON), 1);
  EXPECT_EQ(count_children(box, "Button", 0, 0), 1);
  EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
  // Modal to the settings dialog.
  EXPECT_FALSE(IsWindowEnabled(dialog()));

  PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  EXPECT_TRUE(wait_until_destroyed(box, 10000));
  EXPECT_TRUE(IsWindowEnabled(dialog()));
  EXPECT_TRUE(IsWindowVisible(dialog()));
}
