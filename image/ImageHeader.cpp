#include "image/ImageHeader.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/ImageLimits.h"

namespace zvx::gui {
namespace {

std::uint32_t bigEndian(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

std::uint32_t littleEndian(const unsigned char* p, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
  return value;
}

std::optional<ImageSize> sized(std::int64_t width, std::int64_t height) {
  height = std::llabs(height);
  if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return std::nullopt;
  return ImageSize{static_cast<int>(width), static_cast<int>(height)};
}

}  // namespace

std::optional<ImageSize> declaredImageSize(std::span<const unsigned char> head) {
  static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (head.size() >= 24 && std::memcmp(head.data(), kPng, 8) == 0 && std::memcmp(head.data() + 12, "IHDR", 4) == 0)
    return sized(bigEndian(head.data() + 16), bigEndian(head.data() + 20));
  if (head.size() >= 18 && head[0] == 'B' && head[1] == 'M') {
    // The OS/2 core header keeps 16-bit sides; all later ones 32-bit, the height signed.
    if (littleEndian(head.data() + 14, 4) == 12 && head.size() >= 22)
      return sized(littleEndian(head.data() + 18, 2), littleEndian(head.data() + 20, 2));
    if (head.size() >= 26)
      return sized(static_cast<std::int32_t>(littleEndian(head.data() + 18, 4)),
                   static_cast<std::int32_t>(littleEndian(head.data() + 22, 4)));
  }
  return std::nullopt;
}

bool imageFits(const ImageSize& size, std::size_t maxPixels) {
  return size.width <= kMaxImageSide && size.height <= kMaxImageSide && size.pixels() <= kMaxImagePixels &&
         size.pixels() <= maxPixels;
}

}  // namespace zvx::gui
