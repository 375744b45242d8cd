#include "tests/dialog/dialog_driver.h"

#include <commctrl.h>

#include "plugin/dialog_ids.h"
#include "tools/host_settings.h"

std::string plugin_dll_path() { return host_directory() + "..\\bin\\" + AMBRELITH_PLUGIN_DLL; }

bool plugin_dll_loaded() { return GetModuleHandleA(AMBRELITH_PLUGIN_DLL) != nullptr; }

namespace {

struct owned_search {
  HWND owner;
  std::vector<HWND> found;
};

BOOL CALLBACK find_visible_edit(HWND child, LPARAM context) {
  char name[16] = {};
  GetClassNameA(child, name, sizeof name);
  if (lstrcmpiA(name, "Edit") == 0 && IsWindowVisible(child) && IsWindowEnabled(child)) {
    *reinterpret_cast<HWND*>(context) = child;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK collect_owned_dialog(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<owned_search*>(context);
  char class_name[16] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  if (GetWindow(window, GW_OWNER) == search->owner && std::string(class_name) == "#32770") {
    search->found.push_back(window);
  }
  return TRUE;
}

}  // namespace

std::vector<HWND> owned_dialogs(HWND owner) {
  owned_search search{owner, {}};
  EnumWindows(collect_owned_dialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND wait_for_owned_dialog(HWND owner, const std::wstring& title, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  do {
    for (HWND window : owned_dialogs(owner)) {
      if (IsWindowVisible(window) && (title.empty() || window_text_w(window) == title)) {
        return window;
      }
    }
    Sleep(20);
  } while (GetTickCount() - start < timeout_ms);
  return nullptr;
}

bool wait_until_destroyed(HWND window, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  while (IsWindow(window)) {
    if (GetTickCount() - start >= timeout_ms) return false;
    Sleep(20);
  }
  return true;
}

std::string control_text(HWND dialog, int control) {
  char text[1024] = {};
  GetDlgItemTextA(dialog, control, text, sizeof text);
  return text;
}

std::wstring control_text_w(HWND dialog, int control) {
  return window_text_w(GetDlgItem(dialog, control));
}

std::wstring window_text_w(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, sizeof text / sizeof text[0]);
  return text;
}

std::wstring first_static_text(HWND window) {
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    char class_name[16] = {};
    GetClassNameA(child, class_name, sizeof class_name);
    const std::wstring text = window_text_w(child);
    if (lstrcmpiA(class_name, "Static") == 0 && !text.empty()) return text;
  }
  return L"";
}

void drag_slider(HWND dialog, int position) {
  const HWND slider = GetDlgItem(dialog, CONTROL_GAIN_SLIDER);
  SendMessageA(slider, TBM_SETPOS, TRUE, position);
  SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position),
               reinterpret_cast<LPARAM>(slider));
  SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(slider));
}

void notify_slider(HWND dialog, int scroll_code) {
  const HWND slider = GetDlgItem(dialog, CONTROL_GAIN_SLIDER);
  SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(scroll_code, 0), reinterpret_cast<LPARAM>(slider));
}

int slider_position(HWND dialog) {
  return static_cast<int>(SendDlgItemMessageA(dialog, CONTROL_GAIN_SLIDER, TBM_GETPOS, 0, 0));
}

bool is_checked(HWND dialog, int control) {
  return SendDlgItemMessageA(dialog, control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void click(HWND dialog, int control) { SendDlgItemMessageA(dialog, control, BM_CLICK, 0, 0); }

void click_later(HWND dialog, int control) {
  PostMessageA(GetDlgItem(dialog, control), BM_CLICK, 0, 0);
}

void type_text(HWND edit, const std::string& text) {
  for (char c : text) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
}

HWND open_browse_dialog(HWND settings, DWORD timeout_ms) {
  click_later(settings, CONTROL_BROWSE_BUTTON);
  return wait_for_owned_dialog(settings, L"", timeout_ms);
}

HWND file_name_box(HWND open_dialog) {
  HWND found = nullptr;
  EnumChildWindows(open_dialog, find_visible_edit, reinterpret_cast<LPARAM>(&found));
  return found;
}

bool pick_file(HWND open_dialog, const std::string& path, DWORD timeout_ms) {
  const HWND edit = file_name_box(open_dialog);
  if (edit == nullptr) return false;
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  type_text(edit, path);
  PostMessageA(GetDlgItem(open_dialog, IDOK), BM_CLICK, 0, 0);
  return wait_until_destroyed(open_dialog, timeout_ms);
}
