#include "storage/WholeFile.h"

#include <atomic>
#include <cstdio>

#include "platform/Platform.h"

namespace zvx {
namespace {

// Temporary names unique within this process; the process id keeps them apart
// from other processes saving into the same folder.
std::atomic<unsigned> saves{0};

}  // namespace

bool saveWholeFile(const std::string& path, const void* data, std::size_t size) {
  const std::string temporary =
      path + ".saving-" + std::to_string(platform::processId()) + "-" + std::to_string(saves.fetch_add(1));
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(data, 1, size, file) == size;
  ok = std::fflush(file) == 0 && ok;
  ok = platform::flushToDisk(file) && ok;
  ok = std::fclose(file) == 0 && ok;
  if (ok) ok = platform::replaceFile(temporary, path);
  if (!ok) std::remove(temporary.c_str());
  return ok;
}

bool readWholeFile(const std::string& path, std::vector<unsigned char>& bytes, long limit) {
  std::FILE* file = platform::openRegularFile(path);
  if (!file) return false;
  bool ok = std::fseek(file, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(file) : -1;
  ok = ok && size >= 0 && size <= limit && std::fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    bytes.resize(static_cast<std::size_t>(size));
    ok = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
  }
  std::fclose(file);
  return ok;
}

}  // namespace zvx
