#include "tests/soak/soak_options.h"

#include <cstdlib>

namespace {

bool parse_number(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0';
}

}  // namespace

std::string soak_usage() {
  return "usage: plugin_soak [--seconds S] [--cycles N] [--seed N] [--hang-seconds S]\n"
         "                   [--browse-seconds S] [--settle-cycles N] [--memory-tolerance-kib K]\n";
}

bool parse_soak_options(int argc, char** argv, soak_options& options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    double value = 0;
    if (i + 1 >= argc || !parse_number(argv[i + 1], value)) {
      *error = "missing or unreadable value for " + name;
      return false;
    }
    ++i;
    // Upper bounds keep every later conversion to an integer count of
    // milliseconds or cycles in range (and refuse inf).
    if (name == "--seconds" && value > 0 && value <= 1e7) {
      options.seconds = value;
    } else if (name == "--cycles" && value >= 1 && value <= 100000) {
      options.cycles = static_cast<std::int32_t>(value);
    } else if (name == "--seed" && value >= 0 && value <= 4294967295.0) {
      options.seed = static_cast<std::uint32_t>(value);
    } else if (name == "--hang-seconds" && value >= 1 && value <= 1e6) {
      options.hang_seconds = value;
    } else if (name == "--browse-seconds" && value > 0 && value <= 1e6) {
      options.browse_seconds = value;
    } else if (name == "--settle-cycles" && value >= 0 && value <= 100000) {
      options.settle_cycles = static_cast<std::int32_t>(value);
    } else if (name == "--memory-tolerance-kib" && value >= 0 && value <= 1e9) {
      options.memory_tolerance_kib = value;
    } else {
      *error = "unknown option or value out of range: " + name;
      return false;
    }
  }
  if (options.settle_cycles >= options.cycles) options.settle_cycles = options.cycles - 1;
  return true;
}
