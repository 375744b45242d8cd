#pragma once
// The road of one block through the plug-in, run with the test program's own
// copy of the engine and a limiter of its own: what the DLL must produce for
// the same blocks in the same order.
#include <cstdint>
#include <string>

#include "engine/dsp_monkee.h"

class reference_chain {
 public:
  // Initialises the test program's engine with the impulse (an empty path for
  // none), as module init does.
  reference_chain(float gain, const std::string& impulse_path);
  ~reference_chain();
  reference_chain(const reference_chain&) = delete;
  reference_chain& operator=(const reference_chain&) = delete;

  // Widens, convolves, limits and narrows one block of 1 or 2 channels in place.
  void process(std::int16_t* samples, std::int32_t frames, std::int32_t channels);
  // A pause of the stream: the engine starts again from no reverb (initialised
  // anew, not told of the pause), while the limiter keeps the frames it holds.
  void pause();

 private:
  float gain_;
  std::string impulse_path_;
  dsp_monkee limiter_;
};
