#include "instrument/LearnMap.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "storage/WholeFile.h"

namespace zvx {

bool LearnMap::readEntries(const std::string& path, Entries& entries) {
  std::FILE* file = platform::openRegularFile(path);
  if (!file) return false;
  unsigned char bytes[kFileSize];
  const std::size_t read = std::fread(bytes, 1, kFileSize, file);
  std::fclose(file);
  // A trailing partial entry replaces only the bytes it has.
  for (std::size_t p = 0; p * 4 < read; ++p) {
    auto entry = static_cast<std::uint32_t>(entries[p]);
    for (std::size_t b = 0; b < 4 && p * 4 + b < read; ++b) {
      entry &= ~(0xFFu << (8 * b));
      entry |= static_cast<std::uint32_t>(bytes[p * 4 + b]) << (8 * b);
    }
    entries[p] = static_cast<std::int32_t>(entry);
  }
  return true;
}

void LearnMap::readFile(const std::string& path) {
  for (auto& flag : changed_) flag.store(false, std::memory_order_relaxed);
  Entries entries;
  for (int p = 0; p < kNumParameters; ++p) entries[static_cast<std::size_t>(p)] = controller(p);
  if (!readEntries(path, entries)) {
    forgetAll();
    return;
  }
  for (int p = 0; p < kNumParameters; ++p) set(p, entries[static_cast<std::size_t>(p)]);
}

void LearnMap::writeFile(const std::string& path) {
  // Taken from the flags first: a binding changed while this write runs
  // keeps its flag for the next one.
  std::vector<int> changed;
  for (int p = 0; p < kNumParameters; ++p)
    if (changed_[static_cast<std::size_t>(p)].exchange(false, std::memory_order_acq_rel)) changed.push_back(p);
  if (changed.empty()) return;

  const std::size_t slash = path.find_last_of("/\\");
  const platform::FolderLock lock(slash == std::string::npos ? std::string(".") : path.substr(0, slash));
  // What is on the disk now, another process's bindings among it; a file
  // that cannot be read has nothing any process could have used.
  Entries entries;
  entries.fill(kUnbound);
  readEntries(path, entries);
  for (const int p : changed) entries[static_cast<std::size_t>(p)] = controller(p);
  unsigned char bytes[kFileSize];
  for (std::size_t p = 0; p < entries.size(); ++p)
    for (std::size_t b = 0; b < 4; ++b) bytes[4 * p + b] = static_cast<unsigned char>(static_cast<std::uint32_t>(entries[p]) >> (8 * b));
  if (!saveWholeFile(path, bytes, kFileSize))
    for (const int p : changed) changed_[static_cast<std::size_t>(p)].store(true, std::memory_order_release);
}

LearnMap& learnMap() {
  static LearnMap map;
  return map;
}

}  // namespace zvx
