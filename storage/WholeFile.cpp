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

}  // namespace zvx
