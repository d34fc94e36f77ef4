// Image files from disk, by their content rather than their name.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "image/ImageHeader.h"
#include "image/ImageLimits.h"
#include "image/Surface.h"

namespace zvx::gui {

class ImageFile {
 public:
  // Files larger than this are refused unread.
  static constexpr std::size_t kMaxFileSize = std::size_t{64} << 20;

  // The PNG or BMP file at `path`, told apart by its first bytes; an empty
  // surface when it cannot be read, is too large, is neither, or does not decode.
  static Surface load(const std::string& path);

  // The whole of an open file, or false when it cannot be read or is larger
  // than kMaxFileSize.
  static bool readAll(std::FILE* file, std::vector<unsigned char>& bytes);
  // The PNG or BMP image in `bytes`. One that declares more than `maxPixels`
  // pixels, or sides or pixels over the limits, is refused undecoded: empty,
  // with its declared size in `refused` when that is given.
  static Surface decode(std::span<const unsigned char> bytes, std::size_t maxPixels = kMaxImagePixels,
                        std::optional<ImageSize>* refused = nullptr);
};

}  // namespace zvx::gui
