#include "storage/WavFile.h"

#include <algorithm>
#include <cstring>

namespace zvx {
namespace {

std::uint16_t littleEndian16(const unsigned char* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

std::uint32_t littleEndian32(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// Bytes 2 to 15 of the GUIDs of the standard subformats, whose first two
// bytes are the format tag they stand for (1 PCM, 3 IEEE float, ...).
constexpr unsigned char kStandardGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// The basic format fields, the extension's size, valid bits, channel mask and subformat.
constexpr std::size_t kExtensibleFormatBytes = 40;

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

  // Only the first 40 bytes can be used; the rest must be in the file but is
  // not read into memory, whatever size the header claims.
  const std::uint32_t formatSize = reader_->size();
  unsigned char format[kExtensibleFormatBytes];
  const std::size_t used = std::min<std::size_t>(formatSize, sizeof format);
  if (formatSize < 16 || reader_->read(format, used) != used ||
      reader_->position() - used + formatSize > reader_->fileSize())
    return fail("Error reading format chunk");
  reader_->ascend();
  formatTag_ = littleEndian16(format);
  channels_ = littleEndian16(format + 2);
  sampleRate_ = littleEndian32(format + 4);
  byteRate_ = littleEndian32(format + 8);
  blockAlign_ = littleEndian16(format + 12);
  bitsPerSample_ = littleEndian16(format + 14);
  validBits_ = 0;
  subFormat_ = 0;
  // An extensible format cut short leaves its subformat unknown.
  if (formatTag_ == kExtensibleTag && used == kExtensibleFormatBytes) {
    validBits_ = littleEndian16(format + 18);
    if (std::memcmp(format + 26, kStandardGuidTail, sizeof kStandardGuidTail) == 0)
      subFormat_ = littleEndian16(format + 24);
  }

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
  if (!readBytes(bytes, static_cast<std::size_t>(values) * 2)) return false;
  for (std::size_t i = 0; i < values; ++i)
    destination[i] = static_cast<std::int16_t>(littleEndian16(bytes + 2 * i));
  return true;
}

bool WavFile::readBytes(unsigned char* destination, std::size_t bytes) {
  if (reader_ && reader_->read(destination, bytes) == bytes) return true;
  lastError_ = "Couldn't read samples";
  return false;
}

SampleEncoding WavFile::encoding() const {
  if (formatTag_ != kExtensibleTag) return SampleEncoding::of(formatTag_, bitsPerSample_, bitsPerSample_);
  // Writers that leave the valid bits at 0 mean the whole container.
  return SampleEncoding::of(subFormat_, bitsPerSample_, validBits_ ? validBits_ : bitsPerSample_);
}

}  // namespace zvx
