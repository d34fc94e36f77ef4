#include "storage/WavFile.h"

namespace zvx {
namespace {

std::uint16_t littleEndian16(const unsigned char* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

std::uint32_t littleEndian32(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace

bool WavFile::fail(const char* error) {
  lastError_ = error;
  reader_.reset();
  return false;
}

void WavFile::close() { reader_.reset(); }

bool WavFile::open(const std::string& path) {
  close();
  reader_ = std::make_unique<RiffReader>(path);
  if (!reader_->isOpen()) return fail("Couldn't open file");
  if (reader_->id() != "RIFF" || reader_->formType() != "WAVE" || !reader_->find("fmt "))
    return fail("Couldn't find RIFF, WAVE, or fmt");

  // Only the first 16 bytes are used; the rest must be in the file but is
  // not read into memory, whatever size the header claims.
  const std::uint32_t formatSize = reader_->size();
  unsigned char format[16];
  if (formatSize < 16 || reader_->read(format, 16) != 16 ||
      reader_->position() - 16 + formatSize > reader_->fileSize())
    return fail("Error reading format chunk");
  reader_->ascend();
  formatTag_ = littleEndian16(format);
  channels_ = littleEndian16(format + 2);
  sampleRate_ = littleEndian32(format + 4);
  byteRate_ = littleEndian32(format + 8);
  blockAlign_ = littleEndian16(format + 12);
  bitsPerSample_ = littleEndian16(format + 14);

  if (!reader_->find("data")) return fail("Couldn't find data chunk");
  dataSize_ = reader_->size();
  return true;
}

bool WavFile::read16(std::int16_t* destination, std::size_t capacity, std::uint32_t count) {
  if (bitsPerSample_ != 16) {
    lastError_ = "Sample size mismatch";
    return false;
  }
  const std::uint64_t values = static_cast<std::uint64_t>(channels_) * count;
  if (!reader_ || values > capacity) {
    lastError_ = "Couldn't read samples";
    return false;
  }
  // The bytes stand little-endian in the file; assemble them so any host reads them right.
  auto* bytes = reinterpret_cast<unsigned char*>(destination);
  const std::size_t wanted = static_cast<std::size_t>(values) * 2;
  if (reader_->read(bytes, wanted) != wanted) {
    lastError_ = "Couldn't read samples";
    return false;
  }
  for (std::size_t i = 0; i < values; ++i)
    destination[i] = static_cast<std::int16_t>(littleEndian16(bytes + 2 * i));
  return true;
}

}  // namespace zvx
