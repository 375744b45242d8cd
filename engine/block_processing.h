#pragma once
// Convolves one interleaved float block of the host's audio in place.
#include <cstdint>

// Longest transform the engine grows to; a block that would need more passes
// unconvolved.
constexpr std::int32_t max_transform_length = std::int32_t(1) << 22;

// block: frames x channels floats in the 16-bit sample range. Only 16-bit
// blocks of 1 or 2 channels are convolved, and only while an impulse is ready;
// every other block is left as it came, and one that carries audio is a pause
// of the stream (see engine_skip_block). Returns frames on every path.
int engine_process(float* block, int frames, int bits_per_sample, int channels);
// Tells the engine that a block of the stream went by without it (the power
// switch is off, or the block is of a width or channel count it does not
// take): when convolution resumes, nothing of the reverb from before the pause
// plays. A block of no frames is no pause. Never waits for the engine.
void engine_skip_block(int frames);

// Takes the interleaved block apart into one array per channel, divided by
// 32767. A channel count of 1 is mono; any other is two channels. Returns 1.
int split_channels(const float* block, float* first, float* second, int frames, int channels);
// Puts the channels back, multiplied by 32767. Returns 1.
int merge_channels(const float* first, const float* second, float* block, int frames, int channels);
