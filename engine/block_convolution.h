#pragma once
// Fast convolution of one block: forward transform, product with the impulse
// spectrum, inverse transform, and overlap-add through the channel's tail.
#include <cstdint>

// Every channel's work array holds the block's n samples followed by zeros up
// to spectrum_length; on return its first n values are the block's output. Each
// tail must hold at least spectrum_length - block_frames floats. block_index 0
// marks the first block of the stream, into which no tail is mixed.
void convolve_channels(float* const* work, std::int32_t block_frames, float* const* spectra,
                       std::int32_t spectrum_length, float* const* tails,
                       std::int32_t length_parity, std::int32_t block_index,
                       std::int32_t block_channels, std::int32_t spectrum_channels);

// After a switch to a shorter transform a tail can reach past the values this
// block's convolution used (used = spectrum_length - block_frames): the reverb
// of the blocks before the switch, which convolve_channels leaves in place. This
// mixes its share into the block's output (work, on return from
// convolve_channels), moves the rest down by the block onto the front that the
// block left, and clears what it vacates, so it rings out in full. `reach` is
// how many leading tail values may be non-zero before the block; returns the
// same after it, never less than used. The block fits the transform, so used is
// never negative.
std::int32_t ring_out_tail(float* work, float* tail, std::int32_t block_frames, std::int32_t used,
                           std::int32_t reach);
