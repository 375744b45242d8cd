// Writes the main job's default input and impulse, the same on every run:
//
//   demo_audio INPUT.wav IMPULSE.wav
//
// INPUT.wav: 6 s of stereo music-like audio, 16-bit, 44100 Hz.
// IMPULSE.wav: 0.6 s stereo room impulse, 32-bit float, 44100 Hz.
#include <cstdio>

#include "tools/demo_signals.h"
#include "tools/wav_file.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: demo_audio INPUT.wav IMPULSE.wav\n");
    return 2;
  }
  if (!write_pcm16_wav(argv[1], 2, demo_sample_rate, demo_music(6.0))) {
    std::fprintf(stderr, "demo_audio: cannot write %s\n", argv[1]);
    return 1;
  }
  if (!write_float_wav(argv[2], 2, demo_sample_rate, demo_room_impulse(0.6, 0.45))) {
    std::fprintf(stderr, "demo_audio: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
