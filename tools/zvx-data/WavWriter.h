// Writes 16-bit mono PCM as a RIFF WAVE file: the 12-byte header, a plain
// 16-byte "fmt " chunk, then the "data" chunk, all little-endian.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace zvx::data {

class WavWriter {
 public:
  static std::vector<std::uint8_t> encode(const std::vector<std::int16_t>& samples, std::uint32_t sampleRate);
  // False when the file cannot be written completely.
  static bool write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
};

}  // namespace zvx::data
