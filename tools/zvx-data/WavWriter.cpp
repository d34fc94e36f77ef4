#include "tools/zvx-data/WavWriter.h"

#include <fstream>

#include "storage/LittleEndian.h"

namespace zvx::data {

using le::put;
using le::put16;
using le::put32;

std::vector<std::uint8_t> WavWriter::header(std::uint16_t formatTag, std::uint16_t channels,
                                            std::uint32_t sampleRate, std::uint16_t bitsPerSample,
                                            std::uint32_t dataBytes) {
  const std::uint32_t frameBytes = static_cast<std::uint32_t>(channels) * (bitsPerSample / 8u);
  std::vector<std::uint8_t> out;
  out.reserve(kHeaderSize);
  put(out, "RIFF");
  put32(out, 4 + 8 + 16 + 8 + dataBytes);
  put(out, "WAVE");
  put(out, "fmt ");
  put32(out, 16);
  put16(out, formatTag);
  put16(out, channels);
  put32(out, sampleRate);
  put32(out, sampleRate * frameBytes);  // bytes a second
  put16(out, frameBytes);
  put16(out, bitsPerSample);
  put(out, "data");
  put32(out, dataBytes);
  return out;
}

std::vector<std::uint8_t> WavWriter::encode(const std::vector<std::int16_t>& samples, std::uint32_t sampleRate) {
  const auto dataSize = static_cast<std::uint32_t>(samples.size() * 2);
  std::vector<std::uint8_t> out = header(kPcm, 1, sampleRate, 16, dataSize);
  out.reserve(kHeaderSize + dataSize);
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
