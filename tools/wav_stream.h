#pragma once
// Plays a 16-bit WAV file through a plug-in: a playback thread of its own reads
// the file block by block, hands each block to modify-samples and writes what
// comes back, as a player feeds its output.
#include <cstdint>
#include <string>

#include "tools/plugin_session.h"

constexpr std::int32_t default_block_frames = 576;

struct stream_report {
  bool ok = false;
  std::string error;
  std::int32_t channels = 0;
  std::int32_t sample_rate = 0;
  std::int64_t blocks = 0;
  std::int64_t frames = 0;       // frames written to the output
  double seconds_in_plugin = 0;  // time spent inside modify-samples, all blocks
  double longest_block_seconds = 0;
  std::int32_t peak = 0;       // largest output magnitude
  bool counts_matched = true;  // modify-samples returned every block's frame count
};

// Streams input through the (initialised) session into output in blocks of
// block_frames frames; the last block may be shorter.
stream_report stream_wav(plugin_session& session, const std::string& input,
                         const std::string& output, std::int32_t block_frames);
