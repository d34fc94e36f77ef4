#include "plugin/LearnMap.h"

#include <cstdio>

namespace zvx {

void LearnMap::readFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    forgetAll();
    return;
  }
  unsigned char bytes[kFileSize];
  const std::size_t read = std::fread(bytes, 1, kFileSize, file);
  std::fclose(file);
  // A trailing partial entry replaces only the bytes it has.
  for (std::size_t p = 0; p * 4 < read; ++p) {
    std::uint32_t entry = static_cast<std::uint32_t>(controller(static_cast<int>(p)));
    for (std::size_t b = 0; b < 4 && p * 4 + b < read; ++b) {
      entry &= ~(0xFFu << (8 * b));
      entry |= static_cast<std::uint32_t>(bytes[p * 4 + b]) << (8 * b);
    }
    bind(static_cast<int>(p), static_cast<std::int32_t>(entry));
  }
}

void LearnMap::writeFile(const std::string& path) const {
  unsigned char bytes[kFileSize];
  for (int p = 0; p < kNumParameters; ++p) {
    const auto entry = static_cast<std::uint32_t>(controller(p));
    for (int b = 0; b < 4; ++b) bytes[4 * p + b] = static_cast<unsigned char>(entry >> (8 * b));
  }
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes, 1, kFileSize, file);
    std::fclose(file);
  }
}

LearnMap& learnMap() {
  static LearnMap map;
  return map;
}

}  // namespace zvx
