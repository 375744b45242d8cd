#pragma once
// The user at the plug-in's settings dialog during the soak, working the real
// controls while blocks flow: the gain slider (dragged with the mouse, stepped
// with the keys, set by the host's own window thread), the power and start-up
// boxes, OK and the host's config, and now and then the browse button, which
// switches the impulse between a short and a long file through the real
// open-file dialog.
#include <cstdint>
#include <random>
#include <string>

#include "tests/soak/failure_log.h"
#include "tests/soak/power_timeline.h"
#include "tests/soak/soak_impulses.h"
#include "tests/soak/watchdog.h"
#include "tools/host_window.h"
#include "tools/plugin_session.h"

struct user_totals {
  std::int64_t slider_drags = 0;  // the thumb set, then track and end notifications
  std::int64_t slider_keys = 0;   // arrow, page, home and end keys on the slider
  std::int64_t slider_mouse = 0;  // the thumb dragged or the channel clicked
  std::int64_t slider_from_window_thread = 0;
  std::int64_t slider_notifications = 0;  // a bare notification with any scroll code
  std::int64_t power_clicks = 0;
  std::int64_t startup_clicks = 0;
  std::int64_t hide_and_show = 0;
  std::int64_t browses = 0;
  std::int64_t longest_action_ms = 0;   // the window thread's answer included
  const char* longest_action = "none";  // its last step

  void add(const user_totals& other);
};

class dialog_user {
 public:
  dialog_user(plugin_session& session, const host_window& window, HWND dialog,
              power_timeline& power, const impulse_pair& impulses, const std::string& loaded,
              std::uint32_t seed, double browse_seconds, double cycle_seconds, heartbeat& heart,
              failure_log& failures);

  // One action and a short pause.
  void act();
  const user_totals& totals() const { return totals_; }

 private:
  void drag_thumb();
  void press_key();
  void use_mouse();
  void move_from_window_thread();
  void notify();
  void click_power();
  void click_startup();
  void hide_and_show();
  void browse();

  plugin_session& session_;
  const host_window& window_;
  HWND dialog_;
  power_timeline& power_;
  impulse_pair impulses_;
  std::string loaded_;
  std::mt19937 random_;
  std::int64_t browse_interval_ms_;
  std::int64_t next_browse_ms_;
  heartbeat& heart_;
  failure_log& failures_;
  user_totals totals_;
};
