#pragma once
// Texts built step by step in fixed buffers: each step appends behind what the
// buffer already holds and never writes past its end, cutting the text short
// instead.
#include <cstdarg>
#include <cstddef>
#include <cstdio>

__attribute__((format(printf, 3, 4))) inline void append_text(char* text, std::size_t size,
                                                              const char* format, ...) {
  if (text == nullptr || size == 0) return;
  std::size_t used = 0;
  while (used < size && text[used] != '\0') ++used;
  if (used + 1 >= size) return;
  va_list values;
  va_start(values, format);
  std::vsnprintf(text + used, size - used, format, values);
  va_end(values);
}
