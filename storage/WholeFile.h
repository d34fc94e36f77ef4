// Files saved whole or not at all: the bytes go to a temporary file beside
// the target, are flushed to the disk and then renamed over the old file. A
// reader (another process sharing the data folder) sees the old file or the
// new one, never a part, and a write that fails (a full disk) leaves the old
// file as it was.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zvx {

// False when the file could not be saved; the old file, if any, is untouched.
bool saveWholeFile(const std::string& path, const void* data, std::size_t size);

// The bytes of the regular file at `path` (never a pipe or a device, which
// could block or never end); false when it cannot be read or holds more
// than `limit` bytes.
bool readWholeFile(const std::string& path, std::vector<unsigned char>& bytes, long limit);

}  // namespace zvx
