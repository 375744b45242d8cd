#pragma once
// How long and how hard the soak runs, from its command line.
#include <cstdint>
#include <string>

struct soak_options {
  double seconds = 75.0;                // whole run, shared evenly by the cycles
  std::int32_t cycles = 50;             // load / init / play / quit / unload
  std::uint32_t seed = 0;               // 0: taken from the clock (and printed)
  double hang_seconds = 60.0;           // a thread silent this long counts as hung
  double browse_seconds = 3.0;          // about this long between two browses
  std::int32_t settle_cycles = 5;       // memory is judged from here on
  double memory_tolerance_kib = 512.0;  // allowed rise of the memory's floor
};

// False, with a message in *error, for anything it does not understand.
bool parse_soak_options(int argc, char** argv, soak_options& options, std::string* error);
std::string soak_usage();
