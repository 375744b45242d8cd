#pragma once
// The engine's one process-wide record, the integers kept beside it, and the
// calls that frame the engine's life.
#include <atomic>
#include <cstdint>

#include "platform/win32.h"

constexpr int path_capacity = 260;
constexpr std::int32_t initial_tail_floats = 132096;  // 2^17 + 1024

struct engine_record {
  float impulse_gain;
  HGLOBAL impulse_handles[2];
  float** impulse;
  std::int32_t impulse_frames;
  std::int32_t impulse_channels;
  HGLOBAL spectrum_handles[2];
  float** spectra;
  std::int32_t spectrum_length;
  std::int32_t spectrum_channels;
  HGLOBAL work_handles[2];
  float** work;
  std::int32_t block_channels;
  HGLOBAL tail_handles[2];
  float** tails;
  std::int32_t ready;
  std::int32_t transform_length;
  char loaded_path[path_capacity];
};

extern engine_record engine_state;

// Beside the record, untouched by engine_init.
extern std::int32_t block_counter;      // blocks convolved since engine_init
extern std::atomic<std::int32_t> busy;  // 1 while a load or a block holds the engine
extern std::int32_t requested_length;   // transform length a growth asks for, 0 for none
extern std::int32_t length_parity;      // spectrum_length % 2, always 0
extern std::int32_t tail_capacity;      // floats in each tail buffer
// How many leading floats of each tail may hold anything but zero: the part
// the last block convolved on that channel left for the blocks after it, and,
// after a switch to a shorter transform, the reverb from before the switch
// that is still ringing out.
extern std::int32_t tail_reach[2];

// Prepares the engine (frees whatever an earlier load left, clears the record,
// allocates the tail buffers) and loads the impulse at path scaled by gain. 0
// when the impulse was loaded, -1 otherwise.
int engine_init(float gain, const char* path);
// Waits for a block or load in progress, then frees every array. Returns 0.
int engine_release();
// The transform length of the last successful read, 0 before the first.
int engine_transform_length();
// 1 when the engine has an impulse ready and read it from the file at path;
// 0 when its last load of that file failed, or it holds another impulse or
// none. Waits for a block or load in progress.
int engine_uses_impulse(const char* path);

// The busy flag: taking it polls every millisecond until it is free.
void take_busy_flag();
void release_busy_flag();
