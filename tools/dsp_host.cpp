// A small DSP host: loads a plug-in DLL as a player does, streams a 16-bit WAV
// file through it on a playback thread and writes the result.
//
//   dsp_host [--block FRAMES] [--impulse PATH] [--gain GAIN] [--power 0|1]
//            PLUGIN.dll INPUT.wav OUTPUT.wav
//
// --impulse, --gain and --power write the plug-in's settings file in this
// host's Plugins folder before init (the dialog stays hidden at start-up).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/host_settings.h"
#include "tools/host_window.h"
#include "tools/plugin_session.h"
#include "tools/wav_file.h"
#include "tools/wav_stream.h"

namespace {

struct host_options {
  std::int32_t block_frames = default_block_frames;
  bool write_settings = false;
  plugin_settings settings;
  std::string plugin;
  std::string input;
  std::string output;
};

void print_usage() {
  std::fprintf(stderr,
               "usage: dsp_host [--block FRAMES] [--impulse PATH] [--gain GAIN] [--power 0|1]\n"
               "                PLUGIN.dll INPUT.wav OUTPUT.wav\n");
}

// Windows paths, also for paths given the Unix way under Wine.
std::string full_path(const std::string& path) {
  char buffer[MAX_PATH * 4];
  const DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
  return length > 0 && length < sizeof buffer ? std::string(buffer, length) : path;
}

bool parse_number(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0';
}

bool parse_options(int argc, char** argv, host_options& options) {
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool has_value = i + 1 < argc;
    double number = 0;
    if (argument == "--block" && has_value) {
      if (!parse_number(argv[++i], number) || number < 1 || number > 1 << 20) return false;
      options.block_frames = static_cast<std::int32_t>(number);
    } else if (argument == "--impulse" && has_value) {
      options.settings.impulse_path = full_path(argv[++i]);
      options.write_settings = true;
    } else if (argument == "--gain" && has_value) {
      if (!parse_number(argv[++i], number)) return false;
      options.settings.gain = static_cast<float>(number);
      options.write_settings = true;
    } else if (argument == "--power" && has_value) {
      if (!parse_number(argv[++i], number)) return false;
      options.settings.power = static_cast<std::int32_t>(number);
      options.write_settings = true;
    } else if (argument.rfind("--", 0) == 0) {
      return false;
    } else if (positional == 0) {
      options.plugin = full_path(argument);
      ++positional;
    } else if (positional == 1) {
      options.input = full_path(argument);
      ++positional;
    } else if (positional == 2) {
      options.output = full_path(argument);
      ++positional;
    } else {
      return false;
    }
  }
  return positional == 3;
}

// The plug-in's texts are in the system's code page 936; the console gets UTF-8.
std::string utf8_from_cp936(const char* text) {
  if (text == nullptr) return "(none)";
  wchar_t wide[512];
  const int wide_length = MultiByteToWideChar(936, 0, text, -1, wide, 512);
  char utf8[1024];
  if (wide_length <= 0 ||
      WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr) <= 0) {
    return text;
  }
  return utf8;
}

}  // namespace

int main(int argc, char** argv) {
  host_options options;
  if (!parse_options(argc, argv, options)) {
    print_usage();
    return 2;
  }
  SetConsoleOutputCP(CP_UTF8);
  {
    // A file the host cannot play is refused before any plug-in is started.
    wav_reader input;
    if (!input.open(options.input)) {
      std::fprintf(stderr, "dsp_host: %s\n", input.error().c_str());
      return 1;
    }
  }

  // A player ships with its plug-in folder, where the settings file lives.
  CreateDirectoryA(host_plugins_directory().c_str(), nullptr);
  if (options.write_settings) {
    options.settings.show_at_startup = 0;
    if (!write_plugin_settings(options.settings)) {
      std::fprintf(stderr, "dsp_host: cannot write %s\n", plugin_settings_path().c_str());
      return 1;
    }
  }

  host_window window;
  if (window.handle() == nullptr) {
    std::fprintf(stderr, "dsp_host: cannot create the host window\n");
    return 1;
  }
  plugin_session session(window, options.plugin);
  if (!session.ready()) {
    std::fprintf(stderr, "dsp_host: %s\n", session.error().c_str());
    return 1;
  }
  std::printf("plugin: %s / %s\n", utf8_from_cp936(session.header()->description).c_str(),
              utf8_from_cp936(session.module()->description).c_str());
  std::printf("window: %s\n",
              window.is_message_only() ? "message-only (no display)" : "hidden top-level window");

  session.init();
  const stream_report report =
      stream_wav(session, options.input, options.output, options.block_frames);
  session.quit();

  if (!report.ok) {
    std::fprintf(stderr, "dsp_host: %s\n", report.error.c_str());
    return 1;
  }
  const double per_block_us =
      report.blocks > 0 ? report.seconds_in_plugin * 1e6 / static_cast<double>(report.blocks) : 0;
  std::printf("stream: %d channels, %d Hz, blocks of %d frames\n", report.channels,
              report.sample_rate, options.block_frames);
  std::printf("blocks %lld, frames %lld, peak %d, time per block %.1f us (longest %.1f us)\n",
              static_cast<long long>(report.blocks), static_cast<long long>(report.frames),
              report.peak, per_block_us, report.longest_block_seconds * 1e6);
  if (!report.counts_matched) {
    std::fprintf(stderr, "dsp_host: modify-samples returned another frame count than given\n");
    return 1;
  }
  return 0;
}
