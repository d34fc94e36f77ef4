// Writes 16-bit mono PCM as a RIFF WAVE file: the 12-byte header, a plain
// 16-byte "fmt " chunk, then the "data" chunk, all little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace zvx::data {

class WavWriter {
 public:
  static constexpr std::uint16_t kPcm = 1;
  static constexpr std::uint16_t kIeeeFloat = 3;
  static constexpr std::size_t kHeaderSize = 44;

  // The header of a file whose "data" chunk holds `dataBytes` bytes of
  // interleaved frames.
  static std::vector<std::uint8_t> header(std::uint16_t formatTag, std::uint16_t channels, std::uint32_t sampleRate,
                                          std::uint16_t bitsPerSample, std::uint32_t dataBytes);
  static std::vector<std::uint8_t> encode(const std::vector<std::int16_t>& samples, std::uint32_t sampleRate);
  // False when the file cannot be written completely.
  static bool write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
};

}  // namespace zvx::data
