#include "tests/soak/dialog_user.h"

#include <commctrl.h>

#include <algorithm>

#include "plugin/dialog_ids.h"
#include "tests/dialog/dialog_driver.h"

namespace {

constexpr int slider_steps = 200;
constexpr DWORD window_timeout_ms = 20000;

int uniform(std::mt19937& random, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(random);
}

LPARAM point(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

}  // namespace

void user_totals::add(const user_totals& other) {
  slider_drags += other.slider_drags;
  slider_keys += other.slider_keys;
  slider_mouse += other.slider_mouse;
  slider_from_window_thread += other.slider_from_window_thread;
  slider_notifications += other.slider_notifications;
  power_clicks += other.power_clicks;
  startup_clicks += other.startup_clicks;
  hide_and_show += other.hide_and_show;
  browses += other.browses;
  if (other.longest_action_ms > longest_action_ms) {
    longest_action_ms = other.longest_action_ms;
    longest_action = other.longest_action;
  }
}

dialog_user::dialog_user(plugin_session& session, const host_window& window, HWND dialog,
                         power_timeline& power, const impulse_pair& impulses,
                         const std::string& loaded, std::uint32_t seed, double browse_seconds,
                         double cycle_seconds, heartbeat& heart, failure_log& failures)
    : session_(session),
      window_(window),
      dialog_(dialog),
      power_(power),
      impulses_(impulses),
      loaded_(loaded),
      random_(seed),
      browse_interval_ms_(static_cast<std::int64_t>(browse_seconds * 1000)),
      heart_(heart),
      failures_(failures) {
  // The first browse comes early enough to fall inside even a short cycle.
  const double first_within = std::min(browse_seconds, 0.8 * cycle_seconds) * 1000;
  next_browse_ms_ = soak_clock_ms() + uniform(random_, 0, static_cast<int>(first_within));
}

void dialog_user::act() {
  const std::int64_t begin_ms = soak_clock_ms();
  if (begin_ms >= next_browse_ms_) {
    browse();
    // Spread around the interval, so browses meet blocks at every stage.
    next_browse_ms_ = soak_clock_ms() + uniform(random_, static_cast<int>(browse_interval_ms_ / 2),
                                                static_cast<int>(browse_interval_ms_ * 3 / 2));
  } else if (!power_.read().on && uniform(random_, 0, 9) < 3) {
    // Power stays off for a few actions only: most blocks should be processed.
    click_power();
  } else {
    const int choice = uniform(random_, 0, 99);
    if (choice < 25) {
      drag_thumb();
    } else if (choice < 40) {
      press_key();
    } else if (choice < 55) {
      use_mouse();
    } else if (choice < 65) {
      move_from_window_thread();
    } else if (choice < 70) {
      notify();
    } else if (choice < 80) {
      click_power();
    } else if (choice < 88) {
      click_startup();
    } else {
      hide_and_show();
    }
  }
  // How long the window thread kept the user waiting, reloads included.
  const std::int64_t took_ms = soak_clock_ms() - begin_ms;
  if (took_ms > totals_.longest_action_ms) {
    totals_.longest_action_ms = took_ms;
    totals_.longest_action = heart_.step();
  }
  heart_.at("pausing");
  Sleep(static_cast<DWORD>(uniform(random_, 0, 10)));
}

void dialog_user::drag_thumb() {
  heart_.at("dragging the slider");
  const int position = uniform(random_, 0, 3) == 0 ? uniform(random_, 0, 1) * slider_steps
                                                   : uniform(random_, 0, slider_steps);
  drag_slider(dialog_, position);
  ++totals_.slider_drags;
}

void dialog_user::press_key() {
  heart_.at("pressing a key on the slider");
  static const WPARAM keys[] = {VK_LEFT,  VK_RIGHT, VK_UP,   VK_DOWN,
                                VK_PRIOR, VK_NEXT,  VK_HOME, VK_END};
  const WPARAM key = keys[uniform(random_, 0, 7)];
  const HWND slider = GetDlgItem(dialog_, CONTROL_GAIN_SLIDER);
  SendMessageA(slider, WM_KEYDOWN, key, 1);
  SendMessageA(slider, WM_KEYUP, key, 0xC0000001);
  ++totals_.slider_keys;
}

void dialog_user::use_mouse() {
  heart_.at("working the slider with the mouse");
  const HWND slider = GetDlgItem(dialog_, CONTROL_GAIN_SLIDER);
  RECT thumb{};
  RECT channel{};
  SendMessageA(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
  SendMessageA(slider, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
  const int y = (thumb.top + thumb.bottom) / 2;
  if (uniform(random_, 0, 2) == 0) {
    // A click on the channel beside the thumb: a page step.
    const int x = uniform(random_, static_cast<int>(channel.left), static_cast<int>(channel.right));
    SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, point(x, y));
    SendMessageA(slider, WM_LBUTTONUP, 0, point(x, y));
  } else {
    // The thumb taken and dragged in a few moves, anywhere, even past the ends.
    int x = (thumb.left + thumb.right) / 2;
    SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, point(x, y));
    const int moves = uniform(random_, 1, 6);
    for (int i = 0; i < moves; ++i) {
      x = uniform(random_, static_cast<int>(channel.left) - 20,
                  static_cast<int>(channel.right) + 20);
      SendMessageA(slider, WM_MOUSEMOVE, MK_LBUTTON, point(x < 0 ? 0 : x, y));
    }
    SendMessageA(slider, WM_LBUTTONUP, 0, point(x < 0 ? 0 : x, y));
  }
  ++totals_.slider_mouse;
}

void dialog_user::move_from_window_thread() {
  heart_.at("moving the slider from the window thread");
  const int position = uniform(random_, 0, slider_steps);
  const HWND dialog = dialog_;
  window_.run([dialog, position] {
    const HWND slider = GetDlgItem(dialog, CONTROL_GAIN_SLIDER);
    SendMessageA(slider, TBM_SETPOS, TRUE, position);
    SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                 reinterpret_cast<LPARAM>(slider));
  });
  ++totals_.slider_from_window_thread;
}

void dialog_user::notify() {
  heart_.at("notifying from the slider");
  notify_slider(dialog_, uniform(random_, TB_LINEUP, TB_ENDTRACK));
  ++totals_.slider_notifications;
}

void dialog_user::click_power() {
  heart_.at("clicking the power box");
  power_.begin_change();
  click(dialog_, CONTROL_POWER_BOX);
  power_.end_change(is_checked(dialog_, CONTROL_POWER_BOX));
  ++totals_.power_clicks;
}

void dialog_user::click_startup() {
  heart_.at("clicking the start-up box");
  click(dialog_, CONTROL_STARTUP_BOX);
  ++totals_.startup_clicks;
}

void dialog_user::hide_and_show() {
  heart_.at("hiding the dialog with OK");
  click(dialog_, CONTROL_OK_BUTTON);
  if (IsWindowVisible(dialog_)) failures_.add("the OK button left the dialog visible");
  heart_.at("showing the dialog through config");
  session_.config();
  if (!IsWindowVisible(dialog_)) failures_.add("config left the dialog hidden");
  ++totals_.hide_and_show;
}

void dialog_user::browse() {
  const std::string& other =
      loaded_ == impulses_.short_path ? impulses_.long_path : impulses_.short_path;
  heart_.at("browsing: waiting for the open-file dialog");
  const HWND open_dialog = open_browse_dialog(dialog_, window_timeout_ms);
  if (open_dialog == nullptr) {
    failures_.add("the browse button opened no open-file dialog");
    return;
  }
  heart_.at("browsing: picking the other impulse");
  if (!pick_file(open_dialog, other, window_timeout_ms)) {
    failures_.add("the open-file dialog did not take " + other);
    click_later(open_dialog, IDCANCEL);
    wait_until_destroyed(open_dialog, window_timeout_ms);
    return;
  }
  // Read once the dialog has loaded the impulse and shown its path.
  heart_.at("browsing: reading the path box");
  const std::string shown = control_text(dialog_, CONTROL_PATH_BOX);
  if (shown != other) {
    failures_.add("after browsing for " + other + " the path box shows " + shown);
    return;
  }
  loaded_ = other;
  ++totals_.browses;
}
