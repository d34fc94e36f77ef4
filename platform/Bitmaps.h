// Bitmap files read by the system's means: our own decoders on Linux (BMP, and
// PNG for skin authors), LoadImageA on Windows.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "image/ImageHeader.h"
#include "image/ImageLimits.h"
#include "image/Surface.h"

namespace zvx::platform {

struct BitmapFile {
  gui::Surface image;  // empty when the file gave none
  // The size the file declares when that alone refused it.
  std::optional<gui::ImageSize> refusedSize;
};

// The image of the regular file at `path`. One declaring more than
// `maxPixels` pixels, or sides or pixels over the decoders' limits, is refused
// before it is decoded.
BitmapFile loadBitmapFile(const std::string& path, std::size_t maxPixels = gui::kMaxImagePixels);

}  // namespace zvx::platform
