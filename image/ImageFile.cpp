#include "image/ImageFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "image/BmpDecoder.h"
#include "image/PngCodec.h"

namespace zvx::gui {
namespace {

constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

}  // namespace

Surface ImageFile::load(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return {};
  std::vector<unsigned char> bytes;
  const bool read = readAll(file, bytes);
  std::fclose(file);
  return read ? decode(bytes) : Surface();
}

// The size asked beforehand refuses big files unread and sizes the buffer;
// reading stops at the limit anyway, in case the file grows meanwhile.
bool ImageFile::readAll(std::FILE* file, std::vector<unsigned char>& bytes) {
  try {
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    std::rewind(file);
    if (size >= 0 && static_cast<unsigned long>(size) > kMaxFileSize) return false;
    bytes.resize(size < 0 ? 65536 : static_cast<std::size_t>(size) + 1);
    std::size_t used = 0;
    for (;;) {
      used += std::fread(bytes.data() + used, 1, bytes.size() - used, file);
      if (used > kMaxFileSize) return false;
      if (used < bytes.size()) break;
      bytes.resize(std::min(bytes.size() * 2, kMaxFileSize + 1));
    }
    bytes.resize(used);
    return !std::ferror(file);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

Surface ImageFile::decode(std::span<const unsigned char> bytes, std::size_t maxPixels,
                          std::optional<ImageSize>* refused) {
  if (refused) refused->reset();
  const std::optional<ImageSize> size = declaredImageSize(bytes);
  if (size && !imageFits(*size, maxPixels)) {
    if (refused) *refused = size;
    return {};
  }
  if (bytes.size() >= sizeof kPngSignature && std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) == 0)
    return PngCodec::decode(bytes);
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return BmpDecoder::decode(bytes);
  return {};
}

}  // namespace zvx::gui
