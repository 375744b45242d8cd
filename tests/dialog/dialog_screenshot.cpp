// Pictures of the settings dialog and its About box for the README, taken from
// the screen as a user sees them. Run through take-screenshots.sh, which gives
// it a display and the Simplified-Chinese locale.
//
//   dialog_screenshot OUTPUT-DIR
//
// Writes OUTPUT-DIR\settings-dialog.bmp, and OUTPUT-DIR\about-box.bmp with
// the About box in front of the dialog.

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "plugin/dialog_ids.h"
#include "tests/dialog/dialog_driver.h"
#include "tools/host_settings.h"
#include "tools/host_window.h"
#include "tools/plugin_session.h"
#include "tools/wav_file.h"
// The system headers below build on the platform header above.
#include <commctrl.h>

namespace {

// A second of decaying noise, like a small hall's response.
std::vector<std::int16_t> demo_impulse(int sample_rate) {
  std::vector<std::int16_t> samples(static_cast<std::size_t>(sample_rate) * 2);
  std::uint32_t state = 12345;
  for (std::size_t frame = 0; frame < samples.size() / 2; ++frame) {
    const double decay = std::exp(-6.0 * static_cast<double>(frame) / sample_rate);
    for (int channel = 0; channel < 2; ++channel) {
      state = state * 1664525u + 1013904223u;
      const double noise = static_cast<double>(state >> 8) / (1u << 24) * 2.0 - 1.0;
      samples[frame * 2 + channel] = static_cast<std::int16_t>(noise * decay * 20000.0);
    }
  }
  return samples;
}

// The screen's pixels inside rect, as a 24-bit bottom-up BMP file.
bool save_screen_rect(const RECT& rect, const std::string& path) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();
  const DWORD row_bytes = static_cast<DWORD>((width * 3 + 3) & ~3);
  const DWORD image_bytes = row_bytes * static_cast<DWORD>(height);
  BITMAPFILEHEADER file_header{};
  file_header.bfType = 0x4D42;  // "BM"
  file_header.bfOffBits = sizeof file_header + sizeof info.bmiHeader;
  file_header.bfSize = file_header.bfOffBits + image_bytes;
  info.bmiHeader.biSizeImage = image_bytes;
  bool written = false;
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    written = std::fwrite(&file_header, sizeof file_header, 1, file) == 1 &&
              std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, file) == 1 &&
              std::fwrite(bits, image_bytes, 1, file) == 1;
    written = std::fclose(file) == 0 && written;
  }
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return written;
}

// Lets the window thread paint what is pending before the screen is read.
void settle() { Sleep(700); }

RECT window_rect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

// Puts window in the middle of over.
void center_over(HWND window, HWND over) {
  const RECT outer = window_rect(over);
  const RECT inner = window_rect(window);
  const int x = (outer.left + outer.right - (inner.right - inner.left)) / 2;
  const int y = (outer.top + outer.bottom - (inner.bottom - inner.top)) / 2;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: dialog_screenshot OUTPUT-DIR\n");
    return 2;
  }
  const std::string output = argv[1];

  // An impulse where a user keeps one, under a Chinese name, as the code page
  // 936 path that the open-file dialog would hand back.
  const std::string impulse_folder = "C:\\脉冲回馈";
  CreateDirectoryA(impulse_folder.c_str(), nullptr);
  const std::string impulse = impulse_folder + "\\小礼堂.wav";
  if (!write_pcm16_wav(impulse, 2, 44100, demo_impulse(44100))) {
    std::fprintf(stderr, "cannot write %s\n", impulse.c_str());
    return 1;
  }
  plugin_settings settings;
  settings.gain = 0.5f;
  settings.impulse_path = impulse;
  if (!write_plugin_settings(settings)) {
    std::fprintf(stderr, "cannot write the plug-in's settings\n");
    return 1;
  }

  host_window window;
  plugin_session session(window, plugin_dll_path());
  if (!session.ready()) {
    std::fprintf(stderr, "%s\n", session.error().c_str());
    return 1;
  }
  session.init();
  const HWND dialog = wait_for_owned_dialog(window.handle(), L"Ambrelith", 5000);
  if (dialog == nullptr) {
    std::fprintf(stderr, "the settings dialog did not appear\n");
    return 1;
  }
  SetWindowPos(dialog, nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  settle();
  int status = 0;
  if (!save_screen_rect(window_rect(dialog), output + "\\settings-dialog.bmp")) status = 1;

  click_later(dialog, CONTROL_ABOUT_BUTTON);
  const HWND about = wait_for_owned_dialog(dialog, L"\u5173\u4e8e...", 5000);
  if (about == nullptr) {
    std::fprintf(stderr, "the About box did not appear\n");
    status = 1;
  } else {
    // In front of the settings dialog, as the user sees it.
    center_over(about, dialog);
    settle();
    if (!save_screen_rect(window_rect(dialog), output + "\\about-box.bmp")) status = 1;
    PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
    wait_until_destroyed(about, 5000);
  }
  session.quit();
  DeleteFileA(plugin_settings_path().c_str());
  return status;
}
