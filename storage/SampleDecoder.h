// The frames of a WAV file's data chunk as a voice's layer takes them: one
// value per frame on the scale of a 16-bit sample, so that every encoding a
// user's editor writes reads as its 16-bit conversion would. A 16-bit mono
// frame is its sample, unchanged.
//
// Threads: any; the decoder holds only the encoding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zvx {

// How one channel's sample is stored.
struct SampleEncoding {
  enum class Kind { kUnreadable, kInteger, kFloat };

  // From the format's tag (or an extensible format's subformat), the bits of
  // the container and the valid bits within it: PCM integers of 8 (unsigned),
  // 16, 24 or 32 bits and 32-bit IEEE floats are readable, nothing else.
  static SampleEncoding of(std::uint16_t tag, std::uint16_t containerBits, std::uint16_t validBits);

  bool readable() const { return kind != Kind::kUnreadable; }

  Kind kind = Kind::kUnreadable;
  unsigned bytes = 0;      // per sample of one channel
  unsigned validBits = 0;  // integers: the bits from the top that carry the value
};

class SampleDecoder {
 public:
  // `encoding` must be readable.
  SampleDecoder(SampleEncoding encoding, unsigned channels);

  // Bytes of one frame; 0 for no channel.
  std::size_t frameBytes() const { return static_cast<std::size_t>(encoding_.bytes) * channels_; }
  // The frame at `bytes` (frameBytes() of them): mono its sample, stereo
  // (L + R) / 2, more channels the first; -32768 to 32768.
  float frame(const unsigned char* bytes) const;

 private:
  float sample(const unsigned char* bytes) const;

  SampleEncoding encoding_;
  unsigned channels_;
  std::uint32_t validMask_;  // clears the bits below the valid ones
};

}  // namespace zvx
