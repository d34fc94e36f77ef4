#include "tools/zvx-data/WavWriter.h"

#include <fstream>

namespace zvx::data {
namespace {

void put(std::vector<std::uint8_t>& out, const char* tag) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(tag[i]));
}

void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  put16(out, value & 0xffff);
  put16(out, value >> 16);
}

}  // namespace

std::vector<std::uint8_t> WavWriter::encode(const std::vector<std::int16_t>& samples, std::uint32_t sampleRate) {
  const auto dataSize = static_cast<std::uint32_t>(samples.size() * 2);
  std::vector<std::uint8_t> out;
  out.reserve(44 + dataSize);
  put(out, "RIFF");
  put32(out, 4 + 8 + 16 + 8 + dataSize);
  put(out, "WAVE");
  put(out, "fmt ");
  put32(out, 16);
  put16(out, 1);               // PCM
  put16(out, 1);               // mono
  put32(out, sampleRate);
  put32(out, sampleRate * 2);  // bytes a second
  put16(out, 2);               // bytes a frame
  put16(out, 16);              // bits a sample
  put(out, "data");
  put32(out, dataSize);
  for (std::int16_t sample : samples) put16(out, static_cast<std::uint16_t>(sample));
  return out;
}

bool WavWriter::write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.close();
  return !file.fail();
}

}  // namespace zvx::data
