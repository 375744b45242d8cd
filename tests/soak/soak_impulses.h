#pragma once
// The two impulse files the soak switches between: a short one (0.05 s, mono,
// 16-bit), which keeps the transforms small, so that large blocks make the
// engine grow them, and a long one (2 s, stereo, 32-bit float), whose loads
// and blocks take long enough for the threads to meet inside them.
#include <string>

struct impulse_pair {
  std::string short_path;
  std::string long_path;
};

// Writes both into folder (with its trailing backslash); false when it cannot.
bool write_soak_impulses(const std::string& folder, impulse_pair& written);
