#include "formats/vst3/Vst3State.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "instrument/BankImage.h"
#include "instrument/Instrument.h"

namespace zvx::vst3 {
namespace {

constexpr unsigned char kMagic[4] = {'Z', 'V', 'X', 'S'};

void putWord(unsigned char* at, uint32 word) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(word >> (8 * i));
}

uint32 word(const unsigned char* at) {
  return static_cast<uint32>(at[0]) | static_cast<uint32>(at[1]) << 8 | static_cast<uint32>(at[2]) << 16 |
         static_cast<uint32>(at[3]) << 24;
}

// Streams may hand over less than asked at a time; a read that moves nothing ends it.
bool readAll(IBStream& stream, unsigned char* to, std::size_t size) {
  while (size > 0) {
    const int32 ask = static_cast<int32>(std::min<std::size_t>(size, 1 << 20));
    int32 got = 0;
    if (stream.read(to, ask, &got) != kResultOk || got <= 0 || got > ask) return false;
    to += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

bool writeAll(IBStream& stream, const unsigned char* from, std::size_t size) {
  while (size > 0) {
    const int32 ask = static_cast<int32>(std::min<std::size_t>(size, 1 << 20));
    int32 put = 0;
    // The interface takes a pointer to non-const; the stream only reads it.
    if (stream.write(const_cast<unsigned char*>(from), ask, &put) != kResultOk || put <= 0 || put > ask) return false;
    from += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

}  // namespace

bool writeState(IBStream& stream, int program, const void* chunk, std::size_t size) {
  if (size > std::numeric_limits<uint32>::max()) return false;
  unsigned char header[kStateHeaderSize];
  std::memcpy(header, kMagic, sizeof kMagic);
  putWord(header + 4, kStateVersion);
  putWord(header + 8, static_cast<uint32>(program));
  putWord(header + 12, static_cast<uint32>(size));
  return writeAll(stream, header, sizeof header) && writeAll(stream, static_cast<const unsigned char*>(chunk), size);
}

std::optional<ComponentState> readState(IBStream& stream) {
  unsigned char header[kStateHeaderSize];
  if (!readAll(stream, header, sizeof header)) return std::nullopt;
  if (std::memcmp(header, kMagic, sizeof kMagic) != 0 || word(header + 4) != kStateVersion) return std::nullopt;
  const auto program = static_cast<int32>(word(header + 8));
  const uint32 size = word(header + 12);
  if (program < 0 || program >= Instrument::kNumPrograms || size != BankImage::kSize) return std::nullopt;
  ComponentState state;
  state.program = program;
  state.chunk.resize(size);
  if (!readAll(stream, state.chunk.data(), size)) return std::nullopt;
  return state;
}

}  // namespace zvx::vst3
