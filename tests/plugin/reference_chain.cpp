#include "tests/plugin/reference_chain.h"

#include <vector>

#include "engine/engine.h"

reference_chain::reference_chain(float gain, const std::string& impulse_path)
    : gain_(gain), impulse_path_(impulse_path) {
  engine_init(gain, impulse_path.c_str());
}

void reference_chain::pause() { engine_init(gain_, impulse_path_.c_str()); }

reference_chain::~reference_chain() { engine_release(); }

void reference_chain::process(std::int16_t* samples, std::int32_t frames, std::int32_t channels) {
  std::vector<float> block(static_cast<std::size_t>(frames * channels) + 256, 0.0f);
  pcm16_to_float(samples, block.data(), frames, channels);
  engine_process(block.data(), frames, 16, channels);
  limiter_.process(block.data(), static_cast<std::uint32_t>(channels),
                   static_cast<std::uint32_t>(frames));
  narrow_to_pcm16(block.data(), samples, static_cast<std::size_t>(frames * channels));
}
