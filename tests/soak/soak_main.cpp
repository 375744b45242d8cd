// The plug-in validation soak: the DLL of this build, loaded, initialised,
// played through and quit again and again in one host process, with the real
// settings dialog worked while the blocks flow. Needs a display (run it under
// tests/dialog/run-on-display.sh).
//
//   plugin_soak [--seconds S] [--cycles N] [--seed N] [--hang-seconds S] ...
//
// Each cycle writes a settings file (the short or the long impulse, in turn,
// and a random gain, start-up and power), loads the DLL, calls init, lets the
// playback thread and the dialog's user loose for its share of the time, then
// stops the playback thread, calls quit and unloads the DLL. The process's
// memory is read after every unload and must not grow once the first cycles
// have settled it.
//
// Exit codes: 0 all well, 1 faults found, 2 bad usage or setup, 3 a hang,
// 4 a crash.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "plugin/dialog_ids.h"
#include "tests/dialog/dialog_driver.h"
#include "tests/soak/block_player.h"
#include "tests/soak/dialog_user.h"
#include "tests/soak/failure_log.h"
#include "tests/soak/power_timeline.h"
#include "tests/soak/soak_impulses.h"
#include "tests/soak/soak_options.h"
#include "tests/soak/watchdog.h"
#include "tests/support/process_memory.h"
#include "tools/host_settings.h"
#include "tools/host_window.h"
#include "tools/plugin_session.h"

namespace {

struct soak_run {
  soak_options options;
  impulse_pair impulses;
  std::string dll_path;
  std::string dll_name;
  heartbeat host_heart{"host and user"};
  heartbeat player_heart{"playback"};
  failure_log failures;
  power_timeline power;
  player_totals played;
  user_totals used;
  std::vector<process_memory> memory_after_cycle;
};

double mib(std::uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

std::string file_name_of(const std::string& path) {
  return path.substr(path.find_last_of('\\') + 1);
}

plugin_settings random_settings(std::mt19937& random, const soak_run& run, std::int32_t cycle) {
  plugin_settings settings;
  settings.gain = static_cast<float>(std::uniform_int_distribution<int>(0, 200)(random) / 100.0);
  settings.impulse_path = cycle % 2 == 0 ? run.impulses.short_path : run.impulses.long_path;
  settings.show_at_startup = std::uniform_int_distribution<int>(0, 1)(random);
  settings.power = std::uniform_int_distribution<int>(0, 4)(random) != 0 ? 1 : 0;
  return settings;
}

// The dialog that init made, shown; null (with the fault logged) when there is none.
HWND shown_dialog(soak_run& run, host_window& window, plugin_session& session,
                  const plugin_settings& settings) {
  const std::vector<HWND> dialogs = owned_dialogs(window.handle());
  if (dialogs.size() != 1) {
    run.failures.add("init left " + std::to_string(dialogs.size()) + " dialogs, not 1");
    return nullptr;
  }
  const HWND dialog = dialogs.front();
  if ((IsWindowVisible(dialog) != FALSE) != (settings.show_at_startup != 0)) {
    run.failures.add("after init the dialog's visibility does not follow the start-up setting");
  }
  if (!IsWindowVisible(dialog)) session.config();
  if (is_checked(dialog, CONTROL_POWER_BOX) != (settings.power != 0)) {
    run.failures.add("the power box does not show the power setting");
  }
  return dialog;
}

// One load / init / play / quit / unload. False when the soak cannot go on.
bool run_cycle(soak_run& run, host_window& window, std::int32_t cycle, std::mt19937& random) {
  const soak_options& options = run.options;
  const std::int64_t cycle_ms =
      static_cast<std::int64_t>(options.seconds * 1000.0 / options.cycles);
  heartbeat& heart = run.host_heart;

  heart.at("writing the settings file");
  const plugin_settings settings = random_settings(random, run, cycle);
  if (!write_plugin_settings(settings)) {
    std::fprintf(stderr, "soak: cannot write %s\n", plugin_settings_path().c_str());
    return false;
  }
  heart.at("loading the DLL");
  auto session = std::make_unique<plugin_session>(window, run.dll_path);
  if (!session->ready()) {
    std::fprintf(stderr, "soak: %s\n", session->error().c_str());
    return false;
  }
  heart.at("init");
  const std::int64_t start_ms = soak_clock_ms();
  if (session->init() != 0) run.failures.add("init returned another value than 0");
  const HWND dialog = shown_dialog(run, window, *session, settings);

  const std::uint32_t seed = options.seed + 2 * static_cast<std::uint32_t>(cycle);
  run.power.reset(settings.power != 0);
  block_player player(*session, run.power, seed, run.player_heart, run.failures);
  player.start();
  if (dialog != nullptr) {
    dialog_user user(*session, window, dialog, run.power, run.impulses, settings.impulse_path,
                     seed + 1, options.browse_seconds, static_cast<double>(cycle_ms) / 1000, heart,
                     run.failures);
    while (soak_clock_ms() - start_ms < cycle_ms) user.act();
    run.used.add(user.totals());
  } else {
    heart.at("playing without a dialog");
    while (soak_clock_ms() - start_ms < cycle_ms) Sleep(10);
  }
  heart.at("stopping the playback thread");
  player.stop();
  run.played.add(player.totals());

  heart.at("quit");
  session->quit();
  if (dialog != nullptr && IsWindow(dialog)) run.failures.add("quit left the dialog alive");
  heart.at("unloading the DLL");
  session.reset();
  if (GetModuleHandleA(run.dll_name.c_str()) != nullptr) {
    run.failures.add("the DLL stayed loaded after the host let it go");
  }

  const process_memory memory = current_process_memory();
  run.memory_after_cycle.push_back(memory);
  std::printf(
      "cycle %3d  %-5s impulse  %8lld blocks  %11lld frames  private %7.2f MiB  "
      "working set %7.2f MiB  failures %lld\n",
      cycle + 1, cycle % 2 == 0 ? "short" : "long", static_cast<long long>(player.totals().blocks),
      static_cast<long long>(player.totals().frames), mib(memory.private_bytes),
      mib(memory.working_set), static_cast<long long>(run.failures.count()));
  std::fflush(stdout);
  return true;
}

void print_totals(const soak_run& run, double seconds) {
  const player_totals& p = run.played;
  const user_totals& u = run.used;
  std::printf("\nsoak: %.1f s, %d cycles (load, init, play, quit, unload)\n", seconds,
              static_cast<int>(run.memory_after_cycle.size()));
  std::printf("blocks %lld, frames %lld (%lld empty blocks); longest call %.1f ms\n",
              static_cast<long long>(p.blocks), static_cast<long long>(p.frames),
              static_cast<long long>(p.empty_blocks), p.longest_call_ms);
  std::printf(
      "  by bits: 8: %lld, 16: %lld, 24: %lld; by channels: 1: %lld, 2: %lld, 6: %lld\n",
      static_cast<long long>(p.blocks_by_bits[0]), static_cast<long long>(p.blocks_by_bits[1]),
      static_cast<long long>(p.blocks_by_bits[2]), static_cast<long long>(p.blocks_by_channels[0]),
      static_cast<long long>(p.blocks_by_channels[1]),
      static_cast<long long>(p.blocks_by_channels[2]));
  std::printf("  processed %lld, checked untouched %lld, power switching during %lld\n",
              static_cast<long long>(p.processed_blocks),
              static_cast<long long>(p.untouched_blocks),
              static_cast<long long>(p.uncertain_blocks));
  std::printf("  limited samples checked %lld, their largest magnitude %d (ceiling %d)\n",
              static_cast<long long>(p.limited_samples), p.limited_peak, limited_sample_ceiling);
  std::printf(
      "dialog: slider drags %lld, keys %lld, mouse %lld, from the window thread %lld, "
      "bare notifications %lld;\n  power clicks %lld, start-up clicks %lld, "
      "hide and show %lld, browses %lld\n",
      static_cast<long long>(u.slider_drags), static_cast<long long>(u.slider_keys),
      static_cast<long long>(u.slider_mouse), static_cast<long long>(u.slider_from_window_thread),
      static_cast<long long>(u.slider_notifications), static_cast<long long>(u.power_clicks),
      static_cast<long long>(u.startup_clicks), static_cast<long long>(u.hide_and_show),
      static_cast<long long>(u.browses));
  std::printf("  longest action %lld ms (%s)\n", static_cast<long long>(u.longest_action_ms),
              u.longest_action);
}

std::uint64_t lowest_private_bytes(const std::vector<process_memory>& after, std::size_t from,
                                   std::size_t to) {
  std::uint64_t lowest = after[from].private_bytes;
  for (std::size_t i = from; i < to; ++i) lowest = std::min(lowest, after[i].private_bytes);
  return lowest;
}

// Flat: after the settling cycles, the floor of the private bytes does not
// rise. The open-file dialog and the heap leave the figure higher or lower by
// some hundred KiB from one cycle to the next, and such steps come down again;
// memory that is lost for good lifts every later cycle, the lowest included.
// So the lowest figure of the last third of the cycles is compared with the
// lowest of the first third after settling.
bool memory_stayed_flat(const soak_run& run, const process_memory& at_start) {
  const std::vector<process_memory>& after = run.memory_after_cycle;
  if (after.empty()) return true;
  const std::size_t settled =
      std::min(after.size() - 1, static_cast<std::size_t>(run.options.settle_cycles));
  const std::size_t third = std::max<std::size_t>(1, (after.size() - settled) / 3);
  const std::uint64_t early_floor = lowest_private_bytes(after, settled, settled + third);
  const std::uint64_t late_floor = lowest_private_bytes(after, after.size() - third, after.size());
  std::uint64_t highest = 0;
  for (std::size_t i = settled; i < after.size(); ++i) {
    highest = std::max(highest, after[i].private_bytes);
  }
  const double growth_kib =
      (static_cast<double>(late_floor) - static_cast<double>(early_floor)) / 1024;
  const process_memory& end = after.back();
  std::printf(
      "memory: private %.2f MiB at start, %.2f after cycle 1, %.2f after cycle %zu, "
      "%.2f at the end (highest after settling %.2f)\n",
      mib(at_start.private_bytes), mib(after.front().private_bytes),
      mib(after[settled].private_bytes), settled + 1, mib(end.private_bytes), mib(highest));
  std::printf(
      "        working set %.2f MiB at start, %.2f after cycle 1, %.2f after cycle %zu, "
      "%.2f at the end\n",
      mib(at_start.working_set), mib(after.front().working_set), mib(after[settled].working_set),
      settled + 1, mib(end.working_set));
  std::printf(
      "        lowest private bytes over %zu cycles: %.2f MiB early, %.2f MiB late, "
      "growth %.0f KiB (allowed %.0f)\n",
      third, mib(early_floor), mib(late_floor), growth_kib, run.options.memory_tolerance_kib);
  return growth_kib <= run.options.memory_tolerance_kib;
}

}  // namespace

int main(int argc, char** argv) {
  soak_run run;
  std::string error;
  if (!parse_soak_options(argc, argv, run.options, &error)) {
    std::fprintf(stderr, "soak: %s\n%s", error.c_str(), soak_usage().c_str());
    return 2;
  }
  if (run.options.seed == 0) run.options.seed = GetTickCount() | 1u;
  install_crash_report();
  // A player has the common dialogs loaded for its own use. Without that, each
  // unload of the plug-in takes comdlg32 (and what the open-file dialog pulled
  // in) with it, and Wine grows its heap at every reload of them, plug-in or
  // no plug-in: noise that would hide the plug-in's own memory.
  const HMODULE common_dialogs = LoadLibraryA("comdlg32.dll");
  heartbeat* hearts[] = {&run.host_heart, &run.player_heart};
  watchdog guard(run.options.hang_seconds, hearts, 2);

  run.dll_path = plugin_dll_path();
  run.dll_name = file_name_of(run.dll_path);
  CreateDirectoryA(host_plugins_directory().c_str(), nullptr);
  if (!write_soak_impulses(host_plugins_directory(), run.impulses)) {
    std::fprintf(stderr, "soak: cannot write the impulse files\n");
    return 2;
  }
  std::printf("soak: %s for %.0f s in %d cycles, seed %u\n", run.dll_name.c_str(),
              run.options.seconds, static_cast<int>(run.options.cycles), run.options.seed);

  int status = 0;
  const std::int64_t start_ms = soak_clock_ms();
  process_memory at_start;
  {
    host_window window;
    if (window.handle() == nullptr || window.is_message_only()) {
      std::fprintf(stderr, "soak: the soak works the plug-in's dialog and needs a display\n");
      return 2;
    }
    at_start = current_process_memory();
    std::mt19937 random(run.options.seed);
    for (std::int32_t cycle = 0; cycle < run.options.cycles; ++cycle) {
      if (!run_cycle(run, window, cycle, random)) {
        status = 2;
        break;
      }
    }
    run.host_heart.rest();
  }
  print_totals(run, static_cast<double>(soak_clock_ms() - start_ms) / 1000.0);
  const bool flat = memory_stayed_flat(run, at_start);
  if (!flat) std::printf("soak: FAILURE: the process's memory grew across the cycles\n");
  std::printf("failures: %lld\n", static_cast<long long>(run.failures.count()));
  if (common_dialogs != nullptr) FreeLibrary(common_dialogs);
  DeleteFileA(plugin_settings_path().c_str());
  DeleteFileA(run.impulses.short_path.c_str());
  DeleteFileA(run.impulses.long_path.c_str());
  if (status != 0) return status;
  return run.failures.count() == 0 && flat ? 0 : 1;
}
