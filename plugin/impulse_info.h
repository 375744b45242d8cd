#pragma once
// The impulse file as the settings dialog describes it: four header values and
// the information text built from them.
#include <cstdint>

struct impulse_info_record {
  std::int32_t sample_rate;  // as the header stores it
  std::int32_t channels;     // the header's 16-bit count, sign-extended
  std::int32_t bits;         // the header's 16-bit bits per sample, sign-extended
  std::int32_t frames;       // data size / (bits / 8) / channels; 0 where that cannot be divided
};

// The file last described successfully; zeros until then.
extern impulse_info_record impulse_info;

// The smallest text buffer format_impulse_info fills; the whole text with its
// terminator never needs more than 112 bytes.
constexpr std::int32_t impulse_info_min_text_size = 256;

// Reads the header of the impulse file at path (opened for reading and update,
// like every file the dialog accepts, through the engine's own header parser)
// and writes three CR LF separated lines into text, size bytes in all.
// Returns 1 when info and text were filled. Returns 0 when size is below 256,
// the file does not open for reading and update, or it holds fewer than 44
// bytes: then text holds only NULs and info is left as it was.
std::int32_t format_impulse_info(const char* path, impulse_info_record* info, char* text,
                                 std::int32_t size);

// The text for a file that is not the impulse in use (the engine's load of it
// failed): that it is not loaded, and why, where the file tells. Never a
// figure of another impulse. Fills text (size bytes, at least 256) and
// returns 1; returns 0 with text all NULs when size is below 256.
std::int32_t format_unused_impulse_info(const char* path, char* text, std::int32_t size);
