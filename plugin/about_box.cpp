#include "plugin/about_box.h"

#include <cstring>

#include "plugin/bounded_text.h"
#include "plugin/edition.h"

namespace {

constexpr std::size_t about_text_bytes = 512;
constexpr std::size_t version_text_bytes = 64;

}  // namespace

void format_about_text(char* text, std::size_t size) {
  if (text == nullptr || size == 0) return;
  std::memset(text, 0, size);
  char version[version_text_bytes] = {};
  std::snprintf(version, sizeof version, "%d.%d.%d", 1, 3, 0);
  append_text(text, size, "Ambrelith插件 %s %s\n", version, "beta");
  append_text(text, size, "Copyright (C) 2024 Tessaroq\n\n");
  // The version the FFT library is shown under.
  std::snprintf(version, sizeof version, "%d.%d.%d", 1, 0, 1);
  append_text(text, size, "FFT库版本: %s\n使用指令: %s\n\n", version, edition_instruction_set);
  append_text(text, size, "http://ambrelith.example.com/\n");
  append_text(text, size, "E-mail: tessaroq@example.com\n");
}

void show_about_box(HWND owner) {
  char text[about_text_bytes];
  format_about_text(text, sizeof text);
  MessageBoxA(owner, text, "关于...", MB_ICONINFORMATION);
}
