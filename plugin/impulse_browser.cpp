#include "plugin/impulse_browser.h"

#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "plugin/plugin_state.h"

namespace {

constexpr DWORD file_name_capacity = 1024;
// The record's size without the fields that Windows 2000 added, which every
// version of the dialog accepts.
constexpr DWORD open_file_record_size = 76;

// One description and one pattern, each NUL-terminated, then the closing NUL.
constexpr char impulse_filter[] = "脉冲回馈样本(*.wav)\0*.wav\0";

constexpr char path_too_long_text[] = "所选文件的路径太长（最多259个字节），未作更改。";
constexpr char path_too_long_caption[] = "Ambrelith";

}  // namespace

void cut_to_folder(char (&folder)[plugin_folder_capacity], DWORD length) {
  if (length == 0 || length >= plugin_folder_capacity) {
    std::memset(folder, 0, sizeof folder);
    return;
  }
  folder[length] = '\0';
  folder[find_last_char(folder, '\\') + 1] = '\0';
}

chosen_impulse store_chosen_impulse(const char* chosen,
                                    char (&impulse_path)[settings_path_capacity]) {
  if (std::strlen(chosen) >= settings_path_capacity) return chosen_impulse::too_long;
  // The same test as describing the file: it must open for reading and update.
  std::FILE* file = std::fopen(chosen, "r+b");
  if (file == nullptr) return chosen_impulse::refused;
  std::fclose(file);
  std::memset(impulse_path, 0, sizeof impulse_path);
  std::snprintf(impulse_path, sizeof impulse_path, "%s", chosen);
  return chosen_impulse::stored;
}

std::int32_t browse_impulse_file() {
  char file_name[file_name_capacity] = {};
  char folder[plugin_folder_capacity] = {};
  cut_to_folder(folder, GetModuleFileNameA(plugin_instance, folder, sizeof folder));

  static_assert(sizeof(OPENFILENAMEA) >= open_file_record_size);
  OPENFILENAMEA request;
  std::memset(&request, 0, sizeof request);
  request.lStructSize = open_file_record_size;
  request.hwndOwner = settings_dialog;
  request.lpstrFilter = impulse_filter;
  request.nFilterIndex = 1;
  request.lpstrFile = file_name;
  request.nMaxFile = file_name_capacity;
  // An empty folder leaves the choice of where to start to the system.
  request.lpstrInitialDir = folder;
  request.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  const HWND owner = settings_dialog;
  if (GetOpenFileNameA(&request) == 0) return 0;
  // The host quit while the dialog was open (the user closed the player):
  // nothing is stored, and no impulse is loaded into a released engine.
  if (settings_dialog != owner) return 0;

  switch (store_chosen_impulse(file_name, settings_block.impulse_path)) {
    case chosen_impulse::stored:
      return 1;
    case chosen_impulse::too_long:
      MessageBoxA(settings_dialog, path_too_long_text, path_too_long_caption, MB_ICONWARNING);
      return 0;
    case chosen_impulse::refused:
      break;
  }
  return 0;
}
