#pragma once
// The default material of the main job, made the same way on every run: a
// short piece of music-like audio and the impulse response of a small room.
#include <cstdint>
#include <vector>

constexpr std::int32_t demo_sample_rate = 44100;

// Interleaved stereo 16-bit samples: seconds of a plucked arpeggio over a bass
// line and a soft kick, four chords, peaking at about half of full scale.
std::vector<std::int16_t> demo_music(double seconds);

// Interleaved stereo float samples: a direct sound, a few early reflections and
// a diffuse tail that decays by 60 dB over rt60_seconds and darkens as it goes.
std::vector<float> demo_room_impulse(double seconds, double rt60_seconds);
