// Reading side of a RIFF WAVE file: finds the format and data chunks, exposes
// the format (with the subformat and valid bits of an extensible one), and
// reads the sample data. Failures leave a short error text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "storage/RiffReader.h"
#include "storage/SampleDecoder.h"

namespace zvx {

class WavFile {
 public:
  static constexpr std::uint16_t kExtensibleTag = 0xFFFE;

  WavFile() = default;
  ~WavFile() { close(); }
  WavFile(const WavFile&) = delete;
  WavFile& operator=(const WavFile&) = delete;

  // On false, lastError() says why and the file is closed.
  bool open(const std::string& path);
  // Reads channels x 2 x count bytes from the start of the sample data into
  // `destination`, which holds `capacity` 16-bit values; a read that would not
  // fit is refused like a short one.
  bool read16(std::int16_t* destination, std::size_t capacity, std::uint32_t count);
  // Reads the next `bytes` bytes of sample data as they stand in the file.
  bool readBytes(unsigned char* destination, std::size_t bytes);
  void close();

  std::uint16_t formatTag() const { return formatTag_; }
  std::uint16_t channels() const { return channels_; }
  std::uint32_t sampleRate() const { return sampleRate_; }
  std::uint32_t byteRate() const { return byteRate_; }
  std::uint16_t blockAlign() const { return blockAlign_; }
  std::uint16_t bitsPerSample() const { return bitsPerSample_; }
  // Extensible formats only, else 0: the valid bits per sample, and the tag
  // their subformat GUID stands for (0 for a GUID outside the standard family).
  std::uint16_t validBits() const { return validBits_; }
  std::uint16_t subFormat() const { return subFormat_; }
  std::uint32_t dataSize() const { return dataSize_; }
  const char* lastError() const { return lastError_; }

  // How the samples are stored, from the fields above.
  SampleEncoding encoding() const;

 private:
  bool fail(const char* error);

  std::unique_ptr<RiffReader> reader_;
  std::uint16_t formatTag_ = 0;
  std::uint16_t channels_ = 0;
  std::uint32_t sampleRate_ = 0;
  std::uint32_t byteRate_ = 0;
  std::uint16_t blockAlign_ = 0;
  std::uint16_t bitsPerSample_ = 0;
  std::uint16_t validBits_ = 0;
  std::uint16_t subFormat_ = 0;
  std::uint32_t dataSize_ = 0;
  const char* lastError_ = nullptr;
};

}  // namespace zvx
