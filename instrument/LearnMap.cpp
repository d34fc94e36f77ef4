#include "instrument/LearnMap.h"

#include <cerrno>
#include <cstdio>

#include "platform/Platform.h"
#include "storage/WholeFile.h"

namespace zvx {

void LearnMap::readFile(const std::string& path) {
  changed_.store(false, std::memory_order_relaxed);
  errno = 0;
  std::FILE* file = platform::openRegularFile(path);
  if (!file) {
    forgetAll();
    // No file has nothing to lose; one that is there but cannot be read may.
    readWhole_.store(errno == ENOENT, std::memory_order_relaxed);
    return;
  }
  unsigned char bytes[kFileSize];
  const std::size_t read = std::fread(bytes, 1, kFileSize, file);
  std::fclose(file);
  readWhole_.store(read == kFileSize, std::memory_order_relaxed);
  // A trailing partial entry replaces only the bytes it has.
  for (std::size_t p = 0; p * 4 < read; ++p) {
    std::uint32_t entry = static_cast<std::uint32_t>(controller(static_cast<int>(p)));
    for (std::size_t b = 0; b < 4 && p * 4 + b < read; ++b) {
      entry &= ~(0xFFu << (8 * b));
      entry |= static_cast<std::uint32_t>(bytes[p * 4 + b]) << (8 * b);
    }
    set(static_cast<int>(p), static_cast<std::int32_t>(entry));
  }
}

void LearnMap::writeFile(const std::string& path) const {
  if (!readWhole_.load(std::memory_order_relaxed) && !changed_.load(std::memory_order_relaxed)) return;
  unsigned char bytes[kFileSize];
  for (int p = 0; p < kNumParameters; ++p) {
    const auto entry = static_cast<std::uint32_t>(controller(p));
    for (int b = 0; b < 4; ++b) bytes[4 * p + b] = static_cast<unsigned char>(entry >> (8 * b));
  }
  saveWholeFile(path, bytes, kFileSize);
}

LearnMap& learnMap() {
  static LearnMap map;
  return map;
}

}  // namespace zvx
