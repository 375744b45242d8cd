#pragma once
// Carries a block between the host's 16-bit samples and the engine's floats,
// which hold the samples' own integer values (1.0 is one 16-bit step).
//
// Precondition for both: the block has 1 or 2 channels. The host layer passes
// blocks of any other channel count through untouched and never calls these.
#include <cstddef>
#include <cstdint>

// Widens frames interleaved 16-bit samples exactly into floats. A channel count
// of 1 is mono; any other is taken as two channels.
void pcm16_to_float(const std::int16_t* samples, float* block, std::int32_t frames,
                    std::int32_t channels);

// Runs the global limiter over the float block, then narrows all frames x
// channels values of it back into the host's samples. Returns the number of
// frames the limiter output; while it primes, the later frames are narrowed
// unlimited, as the engine left them.
std::int32_t limit_to_pcm16(float* block, std::int16_t* samples, std::int32_t channels,
                            std::int32_t frames);

// Truncates each value toward zero into a 16-bit sample, saturating: values
// beyond the range give 32767 or -32768 rather than wrapping into a click of the
// opposite sign, and NaN gives 0.
void narrow_to_pcm16(const float* block, std::int16_t* samples, std::size_t count);
