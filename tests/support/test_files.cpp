#include "tests/support/test_files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

temp_dir::temp_dir() {
  static std::mt19937_64 rng{std::random_device{}()};
  for (;;) {
    fs::path candidate = fs::temp_directory_path() / ("ambrelith-test-" + std::to_string(rng()));
    if (fs::create_directory(candidate)) {
      path_ = candidate.string();
      return;
    }
  }
}

temp_dir::~temp_dir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string temp_dir::file(const std::string& name) const {
  return (fs::path(path_) / name).string();
}

void write_bytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

namespace {

void put_u16(std::vector<unsigned char>& out, unsigned value) {
  out.push_back(static_cast<unsigned char>(value & 0xFF));
  out.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
}

void put_u32(std::vector<unsigned char>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>((value >> (8 * i)) & 0xFF));
}

void put_tag(std::vector<unsigned char>& out, const char* tag) {
  out.insert(out.end(), tag, tag + 4);
}

std::vector<unsigned char> float_bytes(const std::vector<float>& samples) {
  std::vector<unsigned char> data(samples.size() * 4);
  std::memcpy(data.data(), samples.data(), data.size());
  return data;
}

}  // namespace

std::vector<unsigned char> canonical_wav(int channels, int sample_rate, int bits,
                                         const std::vector<unsigned char>& data,
                                         std::int32_t data_size_field) {
  std::vector<unsigned char> out;
  put_tag(out, "RIFF");
  put_u32(out, static_cast<std::uint32_t>(36 + data.size()));
  put_tag(out, "WAVE");
  put_tag(out, "fmt ");
  put_u32(out, 16);
  put_u16(out, bits == 32 ? 3 : 1);
  put_u16(out, static_cast<unsigned>(channels));
  put_u32(out, static_cast<std::uint32_t>(sample_rate));
  put_u32(out, static_cast<std::uint32_t>(sample_rate * channels * bits / 8));
  put_u16(out, static_cast<unsigned>(channels * bits / 8));
  put_u16(out, static_cast<unsigned>(bits));
  put_tag(out, "data");
  put_u32(out, static_cast<std::uint32_t>(data_size_field));
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

std::vector<unsigned char> pcm16_wav(int channels, const std::vector<std::int16_t>& samples) {
  std::vector<unsigned char> data;
  for (std::int16_t s : samples) put_u16(data, static_cast<std::uint16_t>(s));
  return canonical_wav(channels, 44100, 16, data, static_cast<std::int32_t>(data.size()));
}

std::vector<unsigned char> float32_wav(int channels, const std::vector<float>& samples) {
  std::vector<unsigned char> data = float_bytes(samples);
  return canonical_wav(channels, 44100, 32, data, static_cast<std::int32_t>(data.size()));
}

std::vector<unsigned char> with_format_code(std::vector<unsigned char> wav, std::uint16_t code) {
  wav[20] = static_cast<unsigned char>(code & 0xFF);
  wav[21] = static_cast<unsigned char>(code >> 8);
  return wav;
}

std::vector<unsigned char> extensible_wav(int channels, int bits, std::uint16_t code,
                                          const std::vector<unsigned char>& data) {
  std::vector<unsigned char> wav = with_format_code(
      canonical_wav(channels, 44100, bits, data, static_cast<std::int32_t>(data.size())), 0xFFFE);
  // The format chunk grows by 24 bytes: their count, the valid bits, the
  // speaker mask, and the sub-format (the code, then the fixed rest of the
  // audio-format GUID).
  std::vector<unsigned char> extension;
  put_u16(extension, 22);
  put_u16(extension, static_cast<unsigned>(bits));
  put_u32(extension, channels == 2 ? 3u : 4u);
  put_u16(extension, code);
  const unsigned char rest[] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  extension.insert(extension.end(), rest, rest + sizeof rest);
  wav.insert(wav.begin() + 36, extension.begin(), extension.end());
  wav[16] = 40;
  const std::uint32_t riff_size = static_cast<std::uint32_t>(wav.size() - 8);
  for (int i = 0; i < 4; ++i) wav[4 + i] = static_cast<unsigned char>(riff_size >> (8 * i));
  return wav;
}

std::vector<unsigned char> float32_wav_with_chunks(int channels,
                                                   const std::vector<float>& samples) {
  std::vector<unsigned char> data = float_bytes(samples);
  std::vector<unsigned char> body;
  put_tag(body, "WAVE");
  put_tag(body, "fmt ");
  put_u32(body, 18);
  put_u16(body, 3);
  put_u16(body, static_cast<unsigned>(channels));
  put_u32(body, 48000);
  put_u32(body, static_cast<std::uint32_t>(48000 * channels * 4));
  put_u16(body, static_cast<unsigned>(channels * 4));
  put_u16(body, 32);
  put_u16(body, 0);  // extension size
  put_tag(body, "fact");
  put_u32(body, 4);
  put_u32(body, static_cast<std::uint32_t>(samples.size() / static_cast<std::size_t>(channels)));
  put_tag(body, "PEAK");
  put_u32(body, 8 + 8 * static_cast<std::uint32_t>(channels));
  for (int i = 0; i < 2 + 2 * channels; ++i) put_u32(body, 0x3F800000u);
  put_tag(body, "LIST");
  put_u32(body, 13);  // odd size: a pad byte follows
  const char list[] = "INFOISFT\x01\0\0\0x";
  body.insert(body.end(), list, list + 13);
  body.push_back(0);
  put_tag(body, "data");
  put_u32(body, static_cast<std::uint32_t>(data.size()));
  body.insert(body.end(), data.begin(), data.end());
  std::vector<unsigned char> out;
  put_tag(out, "RIFF");
  put_u32(out, static_cast<std::uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::vector<unsigned char> with_chunk_before_data(std::vector<unsigned char> wav, const char* tag,
                                                  std::uint32_t body_bytes) {
  std::vector<unsigned char> chunk;
  put_tag(chunk, tag);
  put_u32(chunk, body_bytes);
  chunk.resize(chunk.size() + body_bytes + (body_bytes & 1u), 0x55);
  wav.insert(wav.begin() + 36, chunk.begin(), chunk.end());
  return wav;
}

std::vector<float> noise(std::size_t count, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  std::vector<float> out(count);
  for (float& v : out) v = dist(rng);
  return out;
}

std::vector<double> direct_convolution(const std::vector<double>& signal,
                                       const std::vector<double>& impulse) {
  if (signal.empty() || impulse.empty()) return {};
  std::vector<double> out(signal.size() + impulse.size() - 1, 0.0);
  for (std::size_t i = 0; i < signal.size(); ++i) {
    if (signal[i] == 0.0) continue;
    for (std::size_t j = 0; j < impulse.size(); ++j) out[i + j] += signal[i] * impulse[j];
  }
  return out;
}

#include "tests/support/engine_fixture.h"

#ifdef _WIN32
long live_memory_blocks() { return 0; }
bool can_count_memory_blocks() { return false; }
void fail_memory_blocks_after(long) {}
#else
long live_memory_blocks() { return platform_live_memory_blocks(); }
bool can_count_memory_blocks() { return true; }
void fail_memory_blocks_after(long successes) { platform_fail_global_alloc_after(successes); }
#endif
