#include "tools/wav_stream.h"

#include <cstdlib>
#include <vector>

#include "tools/os_thread.h"
#include "tools/wav_file.h"

namespace {

double now_seconds() {
  static const double ticks_per_second = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart);
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / ticks_per_second;
}

void play(plugin_session& session, wav_reader& reader, wav_writer& writer,
          std::int32_t block_frames, stream_report& report) {
  const wav_format& format = reader.format();
  std::vector<std::int16_t> block(static_cast<std::size_t>(block_frames) *
                                  static_cast<std::size_t>(format.channels));
  for (;;) {
    const std::int32_t frames = reader.read(block.data(), block_frames);
    if (frames <= 0) break;
    const double start = now_seconds();
    std::int32_t returned =
        session.modify_samples(block.data(), frames, 16, format.channels, format.sample_rate);
    const double elapsed = now_seconds() - start;
    report.seconds_in_plugin += elapsed;
    if (elapsed > report.longest_block_seconds) report.longest_block_seconds = elapsed;
    if (returned != frames) report.counts_matched = false;
    // A player writes what the plug-in says the buffer holds, never beyond it.
    if (returned < 0) returned = 0;
    if (returned > frames) returned = frames;
    for (std::int32_t k = 0; k < returned * format.channels; ++k) {
      const std::int32_t magnitude = std::abs(static_cast<std::int32_t>(block[k]));
      if (magnitude > report.peak) report.peak = magnitude;
    }
    if (!writer.write(block.data(), returned)) {
      report.error = "cannot write the output";
      return;
    }
    ++report.blocks;
    report.frames += returned;
  }
  report.ok = true;
}

}  // namespace

stream_report stream_wav(plugin_session& session, const std::string& input,
                         const std::string& output, std::int32_t block_frames) {
  stream_report report;
  wav_reader reader;
  if (!reader.open(input)) {
    report.error = reader.error();
    return report;
  }
  report.channels = reader.format().channels;
  report.sample_rate = reader.format().sample_rate;
  wav_writer writer;
  if (!writer.open(output, reader.format())) {
    report.error = "cannot create " + output;
    return report;
  }
  os_thread playback([&] { play(session, reader, writer, block_frames, report); });
  playback.join();
  if (!writer.close() && report.ok) {
    report.ok = false;
    report.error = "cannot complete " + output;
  }
  return report;
}
