// What zvx-data reads, it reads from regular files only: a pipe or a device
// by a file's name would block it or never end.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "storage/WholeFile.h"

namespace zvx::data {

// Far above any source or data file of ours.
constexpr long kMaxReadBytes = 64L << 20;

// The bytes of the regular file at `path`; nothing when there is no such
// file, it cannot be read, or it is larger than kMaxReadBytes.
inline std::optional<std::vector<std::uint8_t>> readRegularFile(const std::filesystem::path& path,
                                                               long limit = kMaxReadBytes) {
  std::vector<unsigned char> bytes;
  if (!readWholeFile(path.string(), bytes, limit)) return std::nullopt;
  return bytes;
}

}  // namespace zvx::data
