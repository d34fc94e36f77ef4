// The size an image file declares, read from its first bytes before anything
// is decoded: enough to refuse an image too large for its use unread.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

namespace zvx::gui {

struct ImageSize {
  int width = 0;
  int height = 0;
  std::size_t pixels() const { return static_cast<std::size_t>(width) * static_cast<std::size_t>(height); }
};

// The bytes at the start of a file that hold its size, for PNG and BMP.
constexpr std::size_t kImageHeadBytes = 26;

// The width and height of a PNG (its IHDR) or BMP (any header size; rows
// counted either way), or nothing for other files or sizes of 0 or less.
std::optional<ImageSize> declaredImageSize(std::span<const unsigned char> head);

// True when an image of that size is within the decoders' limits and has at
// most `maxPixels` pixels.
bool imageFits(const ImageSize& size, std::size_t maxPixels);

}  // namespace zvx::gui
