#include "host/gui/image/ImageFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>
#include <vector>

#include "host/gui/image/BmpDecoder.h"
#include "host/gui/image/PngCodec.h"

namespace zvx::gui {
namespace {

constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// The whole file, or false when it cannot be read or is larger than `limit`.
// The size asked beforehand refuses big files unread and sizes the buffer;
// reading stops at the limit anyway, in case the file grows meanwhile or is a device.
bool readAll(const std::string& path, std::size_t limit, std::vector<unsigned char>& bytes) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (!error && size > limit) return false;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  bytes.resize(error ? 65536 : static_cast<std::size_t>(size) + 1);
  std::size_t used = 0;
  bool ok = true;
  for (;;) {
    used += std::fread(bytes.data() + used, 1, bytes.size() - used, file);
    if (used > limit) {
      ok = false;
      break;
    }
    if (used < bytes.size()) {
      ok = !std::ferror(file);
      break;
    }
    bytes.resize(std::min(bytes.size() * 2, limit + 1));
  }
  std::fclose(file);
  bytes.resize(used);
  return ok;
}

}  // namespace

Surface ImageFile::load(const std::string& path) {
  try {
    std::vector<unsigned char> bytes;
    if (!readAll(path, kMaxFileSize, bytes)) return {};
    if (bytes.size() >= sizeof kPngSignature && std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) == 0)
      return PngCodec::decode(bytes);
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return BmpDecoder::decode(bytes);
    return {};
  } catch (const std::bad_alloc&) {
    return {};
  }
}

}  // namespace zvx::gui
