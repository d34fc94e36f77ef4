// Image files from disk, by their content rather than their name.
#pragma once

#include <cstddef>
#include <string>

#include "host/gui/Surface.h"

namespace zvx::gui {

class ImageFile {
 public:
  // Files larger than this are refused unread.
  static constexpr std::size_t kMaxFileSize = std::size_t{64} << 20;

  // The PNG or BMP file at `path`, told apart by its first bytes; an empty
  // surface when it cannot be read, is too large, is neither, or does not decode.
  static Surface load(const std::string& path);
};

}  // namespace zvx::gui
