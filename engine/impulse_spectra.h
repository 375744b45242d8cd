#pragma once
// The impulse spectra, and the system's one transform routine.
#include <cstdint>

// Reads the impulse at path scaled by gain and rebuilds the spectra, under the
// busy flag (the caller must not hold it). 0 on success, -1 otherwise. A failed
// load changes only the gain and the ready flag: the impulse, its path, the
// transform length and the spectra stay those of the last successful load, and
// no impulse is ready.
int load_impulse(float gain, const char* path);
// The same for a caller that already holds the busy flag.
int load_impulse_held(float gain, const char* path);

constexpr std::uint8_t transform_forward = 0;  // FFTW_R2HC: real to halfcomplex
constexpr std::uint8_t transform_inverse = 1;  // FFTW_HC2R: halfcomplex to real, unnormalised

// One FFTW real-to-real transform of length n: plan, run once, destroy.
void real_transform(float* source, float* destination, std::int32_t n, std::uint8_t kind);
