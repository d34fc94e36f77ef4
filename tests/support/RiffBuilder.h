// Bytes of RIFF files built chunk by chunk, for WAV files good and bad. Used by
// the tests and by the fuzzers' seed corpus.
#pragma once

#include <cstdint>
#include <vector>

namespace zvx::test {

// Integers as RIFF and BMP files hold them, least significant byte first.
inline void putLittle(std::vector<unsigned char>& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}
inline void put16(std::vector<unsigned char>& out, std::uint64_t value) { putLittle(out, value, 2); }
inline void put32(std::vector<unsigned char>& out, std::uint64_t value) { putLittle(out, value, 4); }

// Bytes of a RIFF file built chunk by chunk, for WAV files good and bad.
class RiffBuilder {
 public:
  // Starts "RIFF" <size> <form>; the size is filled in by bytes() unless given.
  explicit RiffBuilder(const char* form = "WAVE");
  // A chunk with its id, its size (the content's length unless given) and content;
  // odd contents get their pad byte.
  RiffBuilder& chunk(const char* id, const std::vector<unsigned char>& content, long declaredSize = -1);
  // A format chunk of `formatSize` bytes; PCM (tag 1) unless told.
  RiffBuilder& format(int channels, int rate, int bits, int formatSize = 16, int tag = 1);
  // A 40-byte WAVE_FORMAT_EXTENSIBLE format chunk whose subformat is the
  // standard GUID of the tag `subFormat` (1 PCM, 3 IEEE float).
  RiffBuilder& extensibleFormat(int channels, int rate, int bits, int validBits, int subFormat);
  RiffBuilder& data(const std::vector<std::int16_t>& samples, long declaredSize = -1);
  std::vector<unsigned char> bytes() const;

 private:
  std::vector<unsigned char> body_;
};

// A 16-bit mono 44100 Hz WAV file of these samples.
std::vector<unsigned char> monoWav(const std::vector<std::int16_t>& samples);

// Sample data as a data chunk holds it: the low `bytes` bytes of each value,
// little-endian; or 32-bit IEEE floats.
std::vector<unsigned char> integerSamples(const std::vector<std::int32_t>& values, int bytes);
std::vector<unsigned char> floatSamples(const std::vector<float>& values);

}  // namespace zvx::test
