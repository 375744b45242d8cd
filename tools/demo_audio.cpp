// Writes the main job's default input and impulse, the same on every run:
//
//   demo_audio INPUT.wav IMPULSE.wav [INPUT_SECONDS IMPULSE_SECONDS]
//
// INPUT.wav: 6 s of stereo music-like audio, 16-bit, 44100 Hz.
// IMPULSE.wav: 0.6 s stereo room impulse, 32-bit float, 44100 Hz.
// The benchmarks ask for other lengths.
#include <cstdio>
#include <cstdlib>

#include "tools/demo_signals.h"
#include "tools/wav_file.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5) {
    std::fprintf(stderr,
                 "usage: demo_audio INPUT.wav IMPULSE.wav [INPUT_SECONDS IMPULSE_SECONDS]\n");
    return 2;
  }
  const double input_seconds = argc == 5 ? std::atof(argv[3]) : 6.0;
  const double impulse_seconds = argc == 5 ? std::atof(argv[4]) : 0.6;
  if (!(input_seconds > 0 && input_seconds <= 120 && impulse_seconds > 0 &&
        impulse_seconds <= 60)) {
    std::fprintf(stderr, "demo_audio: lengths out of range\n");
    return 2;
  }
  if (!write_pcm16_wav(argv[1], 2, demo_sample_rate, demo_music(input_seconds))) {
    std::fprintf(stderr, "demo_audio: cannot write %s\n", argv[1]);
    return 1;
  }
  if (!write_float_wav(argv[2], 2, demo_sample_rate,
                       demo_room_impulse(impulse_seconds, 0.75 * impulse_seconds))) {
    std::fprintf(stderr, "demo_audio: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
