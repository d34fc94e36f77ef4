#include "storage/SampleDecoder.h"

#include <algorithm>
#include <cstring>

namespace zvx {
namespace {

constexpr std::uint16_t kPcmTag = 1;
constexpr std::uint16_t kFloatTag = 3;

std::uint32_t littleEndian(const unsigned char* bytes, unsigned count) {
  std::uint32_t value = 0;
  for (unsigned i = 0; i < count; ++i) value |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
  return value;
}

}  // namespace

SampleEncoding SampleEncoding::of(std::uint16_t tag, std::uint16_t containerBits, std::uint16_t validBits) {
  const bool wholeBytes = containerBits == 8 || containerBits == 16 || containerBits == 24 || containerBits == 32;
  if (tag == kPcmTag && wholeBytes && validBits >= 1 && validBits <= containerBits)
    return {Kind::kInteger, containerBits / 8u, validBits};
  if (tag == kFloatTag && containerBits == 32 && validBits == 32) return {Kind::kFloat, 4, 32};
  return {};
}

SampleDecoder::SampleDecoder(SampleEncoding encoding, unsigned channels)
    : encoding_(encoding),
      channels_(channels),
      validMask_(~((std::uint32_t{1} << (8 * encoding.bytes - encoding.validBits)) - 1)) {}

float SampleDecoder::frame(const unsigned char* bytes) const {
  if (channels_ == 2) return (sample(bytes) + sample(bytes + encoding_.bytes)) * 0.5f;
  return sample(bytes);
}

// Every integer width is brought to the 16-bit scale exactly where it can be
// (8 bits shifted up, 24 bits shifted down with their fraction kept), so a
// file converted from 16 bits gives the 16-bit values again.
float SampleDecoder::sample(const unsigned char* bytes) const {
  const std::uint32_t raw = littleEndian(bytes, encoding_.bytes) & validMask_;
  if (encoding_.kind == SampleEncoding::Kind::kFloat) {
    float value;
    std::memcpy(&value, &raw, sizeof value);
    if (value != value) return 0.0f;  // NaN: silence
    // Full scale is 1.0; anything louder (infinities too) is held at it.
    return std::clamp(value, -1.0f, 1.0f) * 32768.0f;
  }
  switch (encoding_.bytes) {
    case 1:
      return static_cast<float>((static_cast<int>(raw) - 128) * 256);  // unsigned, 128 is silence
    case 2:
      return static_cast<float>(static_cast<std::int16_t>(raw));
    case 3:
      return static_cast<float>(static_cast<std::int32_t>(raw << 8) >> 8) / 256.0f;
    default:
      return static_cast<float>(static_cast<std::int32_t>(raw) / 65536.0);
  }
}

}  // namespace zvx
