// Appending the fields of little-endian file formats (WAV, BMP) to bytes
// being written.
#pragma once

#include <cstdint>
#include <vector>

namespace zvx::le {

// A four-character tag ("RIFF", "fmt "), as it is spelled.
inline void put(std::vector<std::uint8_t>& out, const char* tag) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(tag[i]));
}

inline void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

}  // namespace zvx::le
