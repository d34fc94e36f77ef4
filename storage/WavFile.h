// Reading side of a RIFF WAVE file: finds the format and data chunks, exposes
// the format, and reads 16-bit samples. Failures leave a short error text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "storage/RiffReader.h"

namespace zvx {

class WavFile {
 public:
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
  void close();

  std::uint16_t formatTag() const { return formatTag_; }
  std::uint16_t channels() const { return channels_; }
  std::uint32_t sampleRate() const { return sampleRate_; }
  std::uint32_t byteRate() const { return byteRate_; }
  std::uint16_t blockAlign() const { return blockAlign_; }
  std::uint16_t bitsPerSample() const { return bitsPerSample_; }
  std::uint32_t dataSize() const { return dataSize_; }
  const char* lastError() const { return lastError_; }

 private:
  bool fail(const char* error);

  std::unique_ptr<RiffReader> reader_;
  std::uint16_t formatTag_ = 0;
  std::uint16_t channels_ = 0;
  std::uint32_t sampleRate_ = 0;
  std::uint32_t byteRate_ = 0;
  std::uint16_t blockAlign_ = 0;
  std::uint16_t bitsPerSample_ = 0;
  std::uint32_t dataSize_ = 0;
  const char* lastError_ = nullptr;
};

}  // namespace zvx
