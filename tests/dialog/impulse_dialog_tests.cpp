// The impulse half of the dialog, driven through the host: the information box,
// and browsing with the real open-file dialog, picked and cancelled.

#include "tests/dialog/plugin_host_fixture.h"
// The system headers below build on the platform header above.
#include <commdlg.h>

#include "tests/support/process_memory.h"

namespace {

using impulse_dialog = plugin_host_test;

constexpr DWORD window_timeout_ms = 10000;

plugin_settings settings_with(const std::string& impulse) {
  plugin_settings settings;
  settings.impulse_path = impulse;
  return settings;
}

std::string info_text(HWND dialog) { return control_text(dialog, CONTROL_INFO_BOX); }

HWND open_file_dialog(HWND settings) { return open_browse_dialog(settings, window_timeout_ms); }

// Types the path into the file name box and presses the dialog's OK button.
void pick(HWND open_dialog, const std::string& path) {
  ASSERT_NE(file_name_box(open_dialog), nullptr) << "the open-file dialog has no file name box";
  EXPECT_TRUE(pick_file(open_dialog, path, window_timeout_ms));
}

void cancel(HWND open_dialog) {
  PostMessageA(GetDlgItem(open_dialog, IDCANCEL), BM_CLICK, 0, 0);
  EXPECT_TRUE(wait_until_destroyed(open_dialog, window_timeout_ms));
}

std::string folder_of(const std::string& path) {
  return path.substr(0, path.find_last_of('\\') + 1);
}

// The folder the open-file dialog shows, with a trailing backslash.
std::string shown_folder(HWND open_dialog) {
  char folder[MAX_PATH] = {};
  SendMessageA(open_dialog, CDM_GETFOLDERPATH, sizeof folder, reinterpret_cast<LPARAM>(folder));
  return std::string(folder) + "\\";
}

}  // namespace

TEST_F(impulse_dialog, information_box_describes_the_impulse_the_engine_loaded) {
  // 16-bit stereo at 44100 Hz, 300 frames: the engine runs at 1024.
  const std::string impulse = file("stereo.wav");
  write_echo_free_impulse(impulse, 16384, 300, 2);
  start(settings_with(impulse));
  EXPECT_EQ(control_text(dialog(), CONTROL_PATH_BOX), impulse);
  EXPECT_EQ(info_text(dialog()),
            "脉冲样本信息:\r\n"
            "样本数量: 300, 最小FFT: 1024, 通道数: 2\r\n"
            "回馈速率: 44100, 位数: 16");
  // As the user reads it: code page 936 turned into the right characters.
  EXPECT_EQ(control_text_w(dialog(), CONTROL_INFO_BOX),
            L"脉冲样本信息:\r\n"
            L"样本数量: 300, 最小FFT: 1024, 通道数: 2\r\n"
            L"回馈速率: 44100, 位数: 16");
}

TEST_F(impulse_dialog, a_description_that_fails_leaves_the_information_box_as_it_was) {
  const std::string impulse = file("impulse.wav");
  write_echo_free_impulse(impulse, 16384, 300, 2);
  start(settings_with(impulse));
  const std::string first = info_text(dialog());
  ASSERT_NE(first.find("样本数量: 300,"), std::string::npos) << first;

  // The file grows while another program holds it without sharing.
  write_echo_free_impulse(impulse, 16384, 500, 2);
  const HANDLE holder = CreateFileA(impulse.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  hide_and_show_again();
  EXPECT_EQ(info_text(dialog()), first);
  EXPECT_EQ(control_text(dialog(), CONTROL_PATH_BOX), impulse);
  CloseHandle(holder);

  // Described again, with the transform length the engine still holds.
  hide_and_show_again();
  EXPECT_EQ(info_text(dialog()),
            "脉冲样本信息:\r\n"
            "样本数量: 500, 最小FFT: 1024, 通道数: 2\r\n"
            "回馈速率: 44100, 位数: 16");
}

TEST_F(impulse_dialog, without_an_impulse_path_both_boxes_stay_empty) {
  start(plugin_settings{});
  EXPECT_EQ(control_text(dialog(), CONTROL_PATH_BOX), "");
  EXPECT_EQ(info_text(dialog()), "");
}

TEST_F(impulse_dialog, browsing_picks_a_file_and_the_engine_takes_it) {
  const std::string first = file("first.wav");
  write_echo_free_impulse(first, 16384, 300, 2);
  // A mono impulse serves both channels; 1000 frames give a length of 2048.
  const std::string picked = file("picked.wav");
  write_echo_free_impulse(picked, 8192, 1000, 1);
  start(settings_with(first));
  EXPECT_NEAR(steady_output_level(), expected_level(16384, 1.0), level_tolerance);

  const HWND open_dialog = open_file_dialog(dialog());
  ASSERT_NE(open_dialog, nullptr) << "no open-file dialog appeared";
  // It starts in the folder of the plug-in's own DLL.
  char dll_path[MAX_PATH] = {};
  GetFullPathNameA(plugin_dll_path().c_str(), sizeof dll_path, dll_path, nullptr);
  const std::string folder = shown_folder(open_dialog);
  EXPECT_EQ(lstrcmpiA(folder.c_str(), folder_of(dll_path).c_str()), 0)
      << folder << " is not the folder of " << dll_path;

  pick(open_dialog, picked);
  EXPECT_EQ(control_text(dialog(), CONTROL_PATH_BOX), picked);
  EXPECT_EQ(info_text(dialog()),
            "脉冲样本信息:\r\n"
            "样本数量: 1000, 最小FFT: 2048, 通道数: 1\r\n"
            "回馈速率: 44100, 位数: 16");
  EXPECT_NEAR(steady_output_level(), expected_level(8192, 1.0), level_tolerance);
  EXPECT_EQ(quit_and_read_settings().impulse_path, picked);
}

// Picks the engine cannot use, after a working impulse: the path shows the
// pick and the reverb is gone; the information box says the file is not loaded
// and why, after the pick, at a refresh and at the next start, and never shows
// a figure of the earlier impulse.
TEST_F(impulse_dialog, a_pick_the_engine_cannot_use_is_shown_as_not_loaded) {
  const std::string first = file("first.wav");
  write_echo_free_impulse(first, 16384, 300, 2);
  const std::string eight_bit = file("8bit.wav");
  write_bytes(eight_bit, canonical_wav(2, 44100, 8, std::vector<unsigned char>(600, 0x80), 600));
  const std::string too_short = file("short.wav");
  write_bytes(too_short, std::vector<unsigned char>(20, 0));
  const std::pair<std::string, std::string> picks[] = {
      {eight_bit, "脉冲样本未载入，没有混响:\r\n不支持8位样本（只支持16位整数和32位浮点）"},
      {too_short, "脉冲样本未载入，没有混响:\r\n文件太短，不是WAV文件"},
  };
  // Without an impulse the input comes out at the limiter's idle gain.
  const int dry_level = expected_level(16384, 2.0);
  for (const auto& [picked, says] : picks) {
    SCOPED_TRACE(picked);
    start(settings_with(first));
    const HWND open_dialog = open_file_dialog(dialog());
    ASSERT_NE(open_dialog, nullptr) << "no open-file dialog appeared";
    pick(open_dialog, picked);
    EXPECT_EQ(control_text(dialog(), CONTROL_PATH_BOX), picked);
    EXPECT_EQ(info_text(dialog()), says) << "after the pick";
    EXPECT_NEAR(steady_output_level(), dry_level, level_tolerance);
    hide_and_show_again();
    EXPECT_EQ(info_text(dialog()), says) << "at a refresh";
    EXPECT_EQ(quit_and_read_settings().impulse_path, picked);
    restart();
    EXPECT_EQ(info_text(dialog()), says) << "at init";
  }
}

// Music plays through a room whose one echo comes 3000 frames late; the user
// browses to a short, echo-free impulse before the echo of a loud block has
// come. The echo still comes, in full and on time: only the blocks after the
// pick go through the new impulse, here silence.
TEST_F(impulse_dialog, the_old_rooms_echo_still_comes_after_browsing_to_a_shorter_one) {
  const std::string room = file("room.wav");
  std::vector<std::int16_t> echo(2 * 4000, 0);
  echo[2 * 3000] = echo[2 * 3000 + 1] = 16384;
  write_bytes(room, pcm16_wav(2, echo));
  const std::string small = file("small.wav");
  write_echo_free_impulse(small, 16384, 300, 2);
  start(settings_with(room));
  std::vector<std::int16_t> heard;
  const auto play = [&](std::int16_t level) {
    std::vector<std::int16_t> block(2 * 576, level);
    EXPECT_EQ(session().modify_samples(block.data(), 576, 16, 2, 44100), 576);
    heard.insert(heard.end(), block.begin(), block.end());
  };
  play(8000);
  play(0);
  const HWND open_dialog = open_file_dialog(dialog());
  ASSERT_NE(open_dialog, nullptr) << "no open-file dialog appeared";
  pick(open_dialog, small);
  ASSERT_EQ(control_text(dialog(), CONTROL_PATH_BOX), small);
  for (int b = 0; b < 6; ++b) play(0);
  // The limiter delays everything by 255 frames; its gain needs a few frames
  // at either edge of the echo.
  const std::size_t echo_from = 3000 + 255, echo_to = echo_from + 576;
  for (std::size_t frame = 2 * 576; frame < heard.size() / 2; ++frame) {
    const bool edge = frame + 8 > echo_from && frame < echo_from + 8;
    if (edge || (frame + 8 > echo_to && frame < echo_to + 8)) continue;
    const int expected = frame >= echo_from && frame < echo_to ? expected_level(16384, 1.0) : 0;
    ASSERT_NEAR(heard[2 * frame], expected, level_tolerance) << "frame " << frame;
  }
}

TEST_F(impulse_dialog, a_cancelled_browse_changes_nothing) {
  const std::string first = file("first.wav");
  write_echo_free_impulse(first, 16384, 300, 2);
  start(settings_with(first));
  const std::string info_before = info_text(dialog());

  const HWND open_dialog = open_file_dialog(dialog());
  ASSERT_NE(open_dialog, nullptr) << "no open-file dialog appeared";
  cancel(open_dialog);
  EXPECT_EQ(control_text(dialog(), CONTROL_PATH_BOX), first);
  EXPECT_EQ(info_text(dialog()), info_before);
  EXPECT_NEAR(steady_output_level(), expected_level(16384, 1.0), level_tolerance);
  EXPECT_EQ(quit_and_read_settings().impulse_path, first);
}

TEST_F(impulse_dialog, a_picked_file_that_does_not_open_for_update_changes_nothing) {
  const std::string first = file("first.wav");
  write_echo_free_impulse(first, 16384, 300, 2);
  const std::string held = file("held.wav");
  write_echo_free_impulse(held, 8192, 1000, 1);
  start(settings_with(first));
  const std::string info_before = info_text(dialog());

  const HWND open_dialog = open_file_dialog(dialog());
  ASSERT_NE(open_dialog, nullptr) << "no open-file dialog appeared";
  // Another program holds it, sharing reads only: it exists and can be
  // listed, but not opened for reading and update.
  const HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  pick(open_dialog, held);
  CloseHandle(holder);
  EXPECT_EQ(control_text(dialog(), CONTROL_PATH_BOX), first);
  EXPECT_EQ(info_text(dialog()), info_before);
  EXPECT_NEAR(steady_output_level(), expected_level(16384, 1.0), level_tolerance);
  EXPECT_EQ(quit_and_read_settings().impulse_path, first);
}

TEST_F(impulse_dialog, config_before_init_shows_the_dialog_and_browsing_starts_in_the_host_folder) {
  // Until init the plug-in holds no instance handle of its own, and the
  // module path of none is the host program's.
  load(plugin_settings{});
  ASSERT_NO_FATAL_FAILURE(config_and_find_dialog());
  EXPECT_TRUE(IsWindowVisible(dialog()));

  const HWND open_dialog = open_file_dialog(dialog());
  ASSERT_NE(open_dialog, nullptr) << "no open-file dialog appeared";
  const std::string folder = shown_folder(open_dialog);
  EXPECT_EQ(lstrcmpiA(folder.c_str(), host_directory().c_str()), 0)
      << folder << " is not the host's folder " << host_directory();
  cancel(open_dialog);

  session().quit();
  EXPECT_FALSE(IsWindow(dialog())) << "quit destroys the dialog that config made";
}

// Config before init opens the dialog, and a browse there loads a long impulse
// into the engine; init and quit follow; then config after quit and another
// browse, and the DLL is unloaded; cycle after cycle. Init frees what the
// first load left and unloading what the second left, so the process comes
// back to its floor.
TEST_F(impulse_dialog, impulses_loaded_before_init_and_after_quit_leave_no_memory_behind) {
  const std::string impulse = file("long.wav");
  write_echo_free_impulse(impulse, 8192, 100000, 2);
  const auto browse_for_the_impulse = [&] {
    ASSERT_NO_FATAL_FAILURE(config_and_find_dialog());
    const HWND open_dialog = open_file_dialog(dialog());
    ASSERT_NE(open_dialog, nullptr) << "no open-file dialog appeared";
    pick(open_dialog, impulse);
    ASSERT_EQ(control_text(dialog(), CONTROL_PATH_BOX), impulse);
  };
  const auto cycle = [&] {
    load(plugin_settings{});
    ASSERT_NO_FATAL_FAILURE(browse_for_the_impulse());
    ASSERT_EQ(session().init(), 0);
    session().quit();
    ASSERT_NO_FATAL_FAILURE(browse_for_the_impulse());
    // The host takes the dialog away itself; no quit follows. Its next call
    // lets the DLL go of itself, and the unload is a real one.
    const HWND after_quit = dialog();
    window().run([after_quit] { DestroyWindow(after_quit); });
    session().header()->module_getter(0);
    unload_on_window_thread(false);
    ASSERT_FALSE(plugin_dll_loaded()) << "the DLL stayed loaded";
  };
  // The first cycles settle what the process makes once (the open-file
  // dialog's own state among it).
  for (int i = 0; i < 2; ++i) cycle();
  const std::uint64_t floor = current_process_memory().private_bytes;
  for (int i = 0; i < 4 && !HasFatalFailure(); ++i) cycle();
  const double growth =
      static_cast<double>(current_process_memory().private_bytes) - static_cast<double>(floor);
  // A lost impulse of this length with its spectra is about 2.8 MB a load.
  EXPECT_LT(growth, 512.0 * 1024) << "after 4 cycles";
}
