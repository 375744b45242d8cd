#include "plugin/settings_dialog.h"

#include <commctrl.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "engine/engine.h"
#include "engine/exact_float.h"
#include "plugin/about_box.h"
#include "plugin/dialog_ids.h"
#include "plugin/impulse_browser.h"
#include "plugin/impulse_info.h"
#include "plugin/module_hold.h"
#include "plugin/plugin_state.h"
#include "plugin/settings.h"

namespace {

constexpr int slider_steps = 200;  // gain 0.00 to 2.00 in steps of 0.01
constexpr std::size_t gain_label_bytes = 16;
constexpr std::size_t info_text_bytes = 512;
constexpr double lowest_shown_db = -100.0;

LRESULT send_to_control(HWND dialog, int control, UINT message, WPARAM wparam, LPARAM lparam) {
  return SendDlgItemMessageA(dialog, control, message, wparam, lparam);
}

void set_check(HWND dialog, int control, std::int32_t on) {
  send_to_control(dialog, control, BM_SETCHECK, on != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::int32_t is_checked(HWND dialog, int control) {
  return send_to_control(dialog, control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

// gain x 100, truncated toward zero. A gain from the settings file may lie
// anywhere (or be no number at all); the slider only holds 0 to 200.
int slider_position_for(float gain) {
  const double position = static_cast<double>(gain) * 100.0;
  if (!(position > 0.0)) return 0;
  if (position >= slider_steps) return slider_steps;
  return static_cast<int>(position);
}

// The slider's position / 100 in double precision, rounded once to single.
float gain_for_slider(LRESULT position) {
  double_rounding_scope rounding;
  return rounded_to_float(static_cast<double>(position) / 100.0);
}

// 20 log10(gain) with one decimal. Gains without a logarithm (0, negative ones
// from a settings file, no number at all) show the floor, like those below it.
void show_gain_label(HWND dialog, float gain) {
  char label[gain_label_bytes];
  std::memset(label, 0, sizeof label);
  double db = 0.0;
  {
    double_rounding_scope rounding;
    db = 20.0 * std::log10(static_cast<double>(gain));
  }
  if (!(db >= lowest_shown_db)) {
    std::snprintf(label, sizeof label, "%.1fdB", lowest_shown_db);
  } else {
    std::snprintf(label, sizeof label, "%.1fdB", static_cast<double>(rounded_to_float(db)));
  }
  SetDlgItemTextA(dialog, CONTROL_DB_LABEL, label);
}

// The information box describes the impulse in use, or says that the file the
// path names is not it (its load failed), and why: never the figures of an
// earlier impulse beside this file's. With no path, or an impulse in use that
// cannot be described now, it keeps its text.
void show_impulse_info(HWND dialog) {
  const char* path = settings_block.impulse_path;
  if (path[0] == '\0') return;
  char text[info_text_bytes];
  if (engine_uses_impulse(path) == 0) {
    format_unused_impulse_info(path, text, sizeof text);
  } else if (format_impulse_info(path, &impulse_info, text, sizeof text) != 1) {
    return;
  }
  SetDlgItemTextA(dialog, CONTROL_INFO_BOX, text);
}

// Every control from the settings. The gain itself is only read: a gain the
// slider cannot show stays as it is until the slider moves.
void refresh_controls(HWND dialog) {
  set_check(dialog, CONTROL_POWER_BOX, settings_power());
  set_check(dialog, CONTROL_STARTUP_BOX, settings_block.show_at_startup);
  SetDlgItemTextA(dialog, CONTROL_PATH_BOX, settings_block.impulse_path);
  show_impulse_info(dialog);
  send_to_control(dialog, CONTROL_GAIN_SLIDER, TBM_SETRANGEMAX, FALSE, slider_steps);
  send_to_control(dialog, CONTROL_GAIN_SLIDER, TBM_SETRANGEMIN, FALSE, 0);
  send_to_control(dialog, CONTROL_GAIN_SLIDER, TBM_SETPOS, TRUE,
                  slider_position_for(settings_block.gain));
  show_gain_label(dialog, settings_block.gain);
}

// Every notification of the slider, whether or not its position changed,
// sets the gain and reloads the impulse with it.
void follow_gain_slider(HWND dialog) {
  if (GetDlgItem(dialog, CONTROL_GAIN_SLIDER) == nullptr) return;
  const LRESULT position = send_to_control(dialog, CONTROL_GAIN_SLIDER, TBM_GETPOS, 0, 0);
  settings_block.gain = gain_for_slider(position);
  show_gain_label(dialog, settings_block.gain);
  load_impulse(settings_block.gain, settings_block.impulse_path);
}

void browse_for_impulse(HWND dialog) {
  if (browse_impulse_file() != 1) return;
  load_impulse(settings_block.gain, settings_block.impulse_path);
  SetDlgItemTextA(dialog, CONTROL_PATH_BOX, settings_block.impulse_path);
  show_impulse_info(dialog);
}

// A click on one of the buttons, found by the window that sent it.
void handle_click(HWND dialog, HWND sender) {
  if (sender == nullptr) return;
  if (sender == GetDlgItem(dialog, CONTROL_ABOUT_BUTTON)) {
    show_about_box(dialog);
  } else if (sender == GetDlgItem(dialog, CONTROL_STARTUP_BOX)) {
    settings_block.show_at_startup = is_checked(dialog, CONTROL_STARTUP_BOX);
  } else if (sender == GetDlgItem(dialog, CONTROL_POWER_BOX)) {
    set_settings_power(is_checked(dialog, CONTROL_POWER_BOX));
  } else if (sender == GetDlgItem(dialog, CONTROL_OK_BUTTON)) {
    // Hidden, not destroyed: the host's config shows it again.
    ShowWindow(dialog, SW_HIDE);
  } else if (sender == GetDlgItem(dialog, CONTROL_BROWSE_BUTTON)) {
    browse_for_impulse(dialog);
  }
}

}  // namespace

INT_PTR CALLBACK settings_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      // The window holds the DLL that holds its procedure for as long as it
      // exists, whoever destroys it and whenever the host unloads us.
      SetWindowLongPtrA(dialog, DWLP_USER, hold_module() ? 1 : 0);
      break;
    case WM_NCDESTROY:
      // Destroyed by the host, too: config makes a new one.
      if (dialog == settings_dialog) settings_dialog = nullptr;
      if (GetWindowLongPtrA(dialog, DWLP_USER) != 0) release_module_later();
      break;
    case WM_SHOWWINDOW:
      // On hiding as on showing.
      refresh_controls(dialog);
      break;
    case WM_HSCROLL:
      follow_gain_slider(dialog);
      break;
    case WM_COMMAND:
      // Clicks only; focus changes and edit notifications do nothing. A
      // click may open a modal box (About, the open-file dialog, a warning),
      // and the host may quit and unload us inside its message loop: the box
      // then returns into this DLL.
      if (HIWORD(wparam) == BN_CLICKED) {
        const scoped_module_hold hold;
        handle_click(dialog, reinterpret_cast<HWND>(lparam));
      }
      break;
    default:
      break;
  }
  return 0;
}
