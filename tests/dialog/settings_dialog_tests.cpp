// The settings dialog in the DLL, driven through the host: the gain slider and
// its dB label, reloads of the impulse, the check boxes, OK and config, and
// notifications that must do nothing.

#include <cmath>
#include <limits>

#include "tests/dialog/plugin_host_fixture.h"
// The system headers below build on the platform header above.
#include <commctrl.h>

namespace {

using settings_dialog = plugin_host_test;

plugin_settings settings_with(const std::string& impulse, float gain = 1.0f) {
  plugin_settings settings;
  settings.impulse_path = impulse;
  settings.gain = gain;
  return settings;
}

std::string gain_label(HWND dialog) { return control_text(dialog, CONTROL_DB_LABEL); }

}  // namespace

TEST_F(settings_dialog, slider_positions_set_the_gain_and_its_db_label) {
  struct slider_case {
    int position;
    const char* label;
    float gain;
  };
  const slider_case cases[] = {
      {0, "-100.0dB", 0.0f},  // the logarithm of 0 is minus infinity
      {1, "-40.0dB", 0.0099999998f}, {29, "-10.8dB", 0.28999999f}, {50, "-6.0dB", 0.5f},
      {100, "0.0dB", 1.0f},          {200, "6.0dB", 2.0f},
  };
  const std::string impulse = file("impulse.wav");
  write_echo_free_impulse(impulse, 16384);
  for (const slider_case& c : cases) {
    SCOPED_TRACE("slider at " + std::to_string(c.position));
    start(settings_with(impulse, 1.0f));
    drag_slider(dialog(), c.position);
    EXPECT_EQ(gain_label(dialog()), c.label);
    EXPECT_EQ(slider_position(dialog()), c.position);
    // The engine runs with the new gain at once.
    EXPECT_NEAR(steady_output_level(), expected_level(16384, c.gain), level_tolerance);
    const saved_settings saved = quit_and_read_settings();
    EXPECT_EQ(saved.gain, c.gain);
  }
}

TEST_F(settings_dialog, a_refresh_truncates_the_slider_position_but_keeps_the_gain) {
  // 0.29 as a float is 0.28999999..., and 28.999999... truncates to 28.
  const std::string impulse = file("impulse.wav");
  write_echo_free_impulse(impulse, 16384);
  start(settings_with(impulse));
  ASSERT_TRUE(IsWindowVisible(dialog()));
  drag_slider(dialog(), 29);
  hide_and_show_again();
  EXPECT_EQ(slider_position(dialog()), 28);
  EXPECT_EQ(gain_label(dialog()), "-10.8dB");

  // Positions whose gains come back whole stay where they are.
  for (int position : {5, 10, 25, 57, 70}) {
    drag_slider(dialog(), position);
    hide_and_show_again();
    const int shown = slider_position(dialog());
    if (position == 57 || position == 70) {
      EXPECT_EQ(shown, position - 1) << position;
    } else {
      EXPECT_EQ(shown, position);
    }
  }
  drag_slider(dialog(), 29);
  hide_and_show_again();
  EXPECT_EQ(quit_and_read_settings().gain, 0.28999999f);
}

TEST_F(settings_dialog, gains_the_slider_cannot_show_stay_until_it_moves) {
  struct stored_case {
    float gain;
    int position;
    const char* label;
  };
  const stored_case cases[] = {
      {3.0f, 200, "9.5dB"},
      {-0.5f, 0, "-100.0dB"},      // a negative gain has no logarithm: shown like 0
      {0.000001f, 0, "-100.0dB"},  // below -100 dB
      {0.00001f, 0, "-100.0dB"},   // -100 dB itself
      {std::numeric_limits<float>::quiet_NaN(), 0, "-100.0dB"},
  };
  const std::string impulse = file("impulse.wav");
  write_echo_free_impulse(impulse, 16384);
  for (const stored_case& c : cases) {
    SCOPED_TRACE("stored gain " + std::to_string(c.gain));
    start(settings_with(impulse, c.gain));
    EXPECT_EQ(slider_position(dialog()), c.position);
    EXPECT_EQ(gain_label(dialog()), c.label);
    hide_and_show_again();
    const float saved = quit_and_read_settings().gain;
    if (std::isnan(c.gain)) {
      EXPECT_TRUE(std::isnan(saved));
    } else {
      EXPECT_EQ(saved, c.gain);
    }
  }
}

TEST_F(settings_dialog, every_slider_notification_reloads_the_impulse) {
  const std::string impulse = file("impulse.wav");
  write_echo_free_impulse(impulse, 16384);
  start(settings_with(impulse));
  EXPECT_NEAR(steady_output_level(), expected_level(16384, 1.0), level_tolerance);

  drag_slider(dialog(), 50);
  EXPECT_NEAR(steady_output_level(), expected_level(16384, 0.5), level_tolerance);

  // The file changes; the engine keeps what it loaded until a notification.
  write_echo_free_impulse(impulse, 32767);
  EXPECT_NEAR(steady_output_level(), expected_level(16384, 0.5), level_tolerance);
  // The end of a drag leaves the position as it was, and still reloads.
  notify_slider(dialog(), TB_ENDTRACK);
  EXPECT_EQ(slider_position(dialog()), 50);
  EXPECT_NEAR(steady_output_level(), expected_level(32767, 0.5), level_tolerance);

  // A key press on the slider itself: the trackbar's own notifications.
  write_echo_free_impulse(impulse, 8192);
  const HWND slider = GetDlgItem(dialog(), CONTROL_GAIN_SLIDER);
  SendMessageA(slider, WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(slider_position(dialog()), 51);
  EXPECT_EQ(gain_label(dialog()), "-5.8dB");
  EXPECT_NEAR(steady_output_level(), expected_level(8192, 0.51), level_tolerance);
  write_echo_free_impulse(impulse, 16384);
  SendMessageA(slider, WM_KEYUP, VK_RIGHT, 0);
  EXPECT_NEAR(steady_output_level(), expected_level(16384, 0.51), level_tolerance);
}

TEST_F(settings_dialog, power_and_startup_boxes_change_the_settings_at_once) {
  const std::string impulse = file("impulse.wav");
  write_echo_free_impulse(impulse, 16384);
  start(settings_with(impulse));
  EXPECT_TRUE(is_checked(dialog(), CONTROL_POWER_BOX));
  EXPECT_TRUE(is_checked(dialog(), CONTROL_STARTUP_BOX));
  EXPECT_FALSE(block_passes_untouched());

  click(dialog(), CONTROL_POWER_BOX);
  EXPECT_FALSE(is_checked(dialog(), CONTROL_POWER_BOX));
  EXPECT_TRUE(block_passes_untouched()) << "power off bypasses the effect with the next block";
  click(dialog(), CONTROL_POWER_BOX);
  EXPECT_FALSE(block_passes_untouched());

  click(dialog(), CONTROL_STARTUP_BOX);
  EXPECT_FALSE(is_checked(dialog(), CONTROL_STARTUP_BOX));
  const saved_settings saved = quit_and_read_settings();
  EXPECT_EQ(saved.show_at_startup, 0);
  EXPECT_EQ(saved.power, 1);
  EXPECT_EQ(saved.impulse_path, impulse);
  EXPECT_EQ(saved.gain, 1.0f);
}

TEST_F(settings_dialog, startup_off_leaves_it_hidden_until_config_fills_and_shows_it) {
  const std::string impulse = file("impulse.wav");
  write_echo_free_impulse(impulse, 16384);
  plugin_settings settings = settings_with(impulse, 0.5f);
  settings.show_at_startup = 0;
  settings.power = 0;
  start(settings);
  EXPECT_FALSE(IsWindowVisible(dialog()));
  // Never shown, so never filled: the template's own texts.
  EXPECT_EQ(control_text(dialog(), CONTROL_PATH_BOX), "");
  EXPECT_EQ(gain_label(dialog()), "0.0dB");

  session().config();
  EXPECT_TRUE(IsWindowVisible(dialog()));
  EXPECT_EQ(control_text(dialog(), CONTROL_PATH_BOX), impulse);
  EXPECT_EQ(gain_label(dialog()), "-6.0dB");
  EXPECT_EQ(slider_position(dialog()), 50);
  EXPECT_FALSE(is_checked(dialog(), CONTROL_POWER_BOX));
  EXPECT_FALSE(is_checked(dialog(), CONTROL_STARTUP_BOX));
}

TEST_F(settings_dialog, ok_hides_it_and_config_shows_it_again_refreshed) {
  const std::string impulse = file("impulse.wav");
  write_echo_free_impulse(impulse, 16384);
  start(settings_with(impulse));
  const HWND shown = dialog();
  click(dialog(), CONTROL_OK_BUTTON);
  EXPECT_FALSE(IsWindowVisible(dialog()));
  EXPECT_TRUE(IsWindow(dialog())) << "hidden, not destroyed";

  // Controls changed behind the dialog's back, without notifications.
  SendDlgItemMessageA(dialog(), CONTROL_GAIN_SLIDER, TBM_SETPOS, TRUE, 150);
  SendDlgItemMessageA(dialog(), CONTROL_POWER_BOX, BM_SETCHECK, BST_UNCHECKED, 0);
  SetDlgItemTextA(dialog(), CONTROL_PATH_BOX, "C:\\elsewhere.wav");
  SetDlgItemTextA(dialog(), CONTROL_DB_LABEL, "?");

  session().config();
  EXPECT_TRUE(IsWindowVisible(dialog()));
  EXPECT_EQ(owned_dialogs(window().handle()), std::vector<HWND>{shown});
  EXPECT_EQ(slider_position(dialog()), 100);
  EXPECT_TRUE(is_checked(dialog(), CONTROL_POWER_BOX));
  EXPECT_EQ(control_text(dialog(), CONTROL_PATH_BOX), impulse);
  EXPECT_EQ(gain_label(dialog()), "0.0dB");
}

TEST_F(settings_dialog, config_twice_keeps_one_dialog) {
  plugin_settings settings;
  settings.show_at_startup = 0;
  start(settings);
  const HWND created = dialog();
  session().config();
  session().config();
  EXPECT_EQ(owned_dialogs(window().handle()), std::vector<HWND>{created});
  EXPECT_TRUE(IsWindowVisible(created));
}

TEST_F(settings_dialog, a_dialog_init_could_not_create_comes_with_a_later_config) {
  load(plugin_settings{});
  // An instance without the dialog template: the host program's own.
  session().module()->dll_instance = GetModuleHandleA(nullptr);
  ASSERT_EQ(session().init(), 0);
  EXPECT_TRUE(owned_dialogs(window().handle()).empty());
  session().config();
  EXPECT_TRUE(owned_dialogs(window().handle()).empty());

  session().module()->dll_instance = session().library();
  ASSERT_NO_FATAL_FAILURE(config_and_find_dialog());
  EXPECT_TRUE(IsWindowVisible(dialog()));
  session().quit();
  EXPECT_FALSE(IsWindow(dialog())) << "quit destroys the dialog that config made";
}

// The player unloads the plug-in while a dialog that config made is still
// there: without init, and after quit. No window whose procedure lies in an
// unloaded DLL may be left: the dialog is gone, or the DLL stays mapped and the
// dialog answers for as long as it is there.
TEST_F(settings_dialog, a_dialog_left_at_unload_never_outlives_its_code) {
  for (const bool init_and_quit_first : {false, true}) {
    SCOPED_TRACE(init_and_quit_first ? "init, quit, config" : "config without init");
    load(plugin_settings{});
    if (init_and_quit_first) {
      ASSERT_EQ(session().init(), 0);
      session().quit();
    }
    ASSERT_NO_FATAL_FAILURE(config_and_find_dialog());
    const HWND left = dialog();
    unload_on_window_thread(false);
    if (!IsWindow(left)) continue;
    const LONG_PTR procedure = GetWindowLongPtrA(left, DWLP_DLGPROC);
    HMODULE holder = nullptr;
    ASSERT_TRUE(GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(procedure), &holder))
        << "the dialog's procedure lies in an unloaded DLL";
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutA(left, WM_NULL, 0, 0, SMTO_NORMAL, 3000, &answer), 0);
    window().run([left] { DestroyWindow(left); });
  }
  EXPECT_TRUE(plugin_unloads_completely()) << "the DLL keeps itself loaded";
}

// The user closes the player while the About box or the open-file dialog is
// open: quit and FreeLibrary run inside the box's message loop, and the box
// then returns into the plug-in, whose code must still be there. The settings
// are saved as at any quit.
TEST_F(settings_dialog, closing_the_player_while_a_box_is_open_ends_cleanly) {
  for (const int button : {CONTROL_ABOUT_BUTTON, CONTROL_BROWSE_BUTTON}) {
    SCOPED_TRACE(button);
    start(settings_with("", 0.5f));
    const HWND settings = dialog();
    click_later(settings, button);
    const HWND box = wait_for_owned_dialog(settings, L"", 10000);
    ASSERT_NE(box, nullptr) << "no box appeared";
    ASSERT_TRUE(DeleteFileA(plugin_settings_path().c_str()));
    unload_on_window_thread(true);
    EXPECT_TRUE(wait_until_destroyed(box, 10000));
    EXPECT_FALSE(IsWindow(settings));
    // The window thread came back out of the box and runs on.
    window().run([] {});
    EXPECT_EQ(read_saved_settings().gain, 0.5f);
  }
  EXPECT_TRUE(plugin_unloads_completely()) << "the DLL keeps itself loaded";
}

TEST_F(settings_dialog, notifications_other_than_clicks_do_nothing) {
  const std::string impulse = file("impulse.wav");
  write_echo_free_impulse(impulse, 16384);
  start(settings_with(impulse));
  const HWND path_box = GetDlgItem(dialog(), CONTROL_PATH_BOX);

  // Real notifications of the edit boxes: focus changes, a changed text.
  window().run([&] {
    SetFocus(GetDlgItem(dialog(), CONTROL_INFO_BOX));
    SetFocus(path_box);
    SetWindowTextA(path_box, "C:\\typed.wav");
  });

  // Commands that carry a button's handle but not a click. Were they taken
  // for clicks, power would follow the box, the About box would open and the
  // dialog would hide.
  SendDlgItemMessageA(dialog(), CONTROL_POWER_BOX, BM_SETCHECK, BST_UNCHECKED, 0);
  const struct {
    int control;
    WORD code;
  } commands[] = {
      {CONTROL_POWER_BOX, BN_SETFOCUS},         {CONTROL_STARTUP_BOX, BN_KILLFOCUS},
      {CONTROL_ABOUT_BUTTON, BN_DOUBLECLICKED}, {CONTROL_OK_BUTTON, EN_SETFOCUS},
      {CONTROL_BROWSE_BUTTON, EN_CHANGE},
  };
  // A modal window would keep the dialog from answering: give up after a while.
  const auto command_answered = [&](int control, WORD code, HWND sender) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(dialog(), WM_COMMAND, MAKEWPARAM(control, code),
                               reinterpret_cast<LPARAM>(sender), SMTO_NORMAL, 3000, &result) != 0;
  };
  for (const auto& command : commands) {
    EXPECT_TRUE(
        command_answered(command.control, command.code, GetDlgItem(dialog(), command.control)))
        << "command " << command.code << " from control " << command.control;
  }
  // A click from a window that is none of the buttons.
  EXPECT_TRUE(command_answered(CONTROL_PATH_BOX, BN_CLICKED, path_box));

  Sleep(200);
  EXPECT_TRUE(owned_dialogs(dialog()).empty()) << "a window opened";
  EXPECT_TRUE(IsWindowVisible(dialog()));
  EXPECT_FALSE(block_passes_untouched()) << "power went off";
  const saved_settings saved = quit_and_read_settings();
  EXPECT_EQ(saved.power, 1);
  EXPECT_EQ(saved.show_at_startup, 1);
  EXPECT_EQ(saved.impulse_path, impulse);
  EXPECT_EQ(saved.gain, 1.0f);
}
