// PNG files to and from surfaces, through libpng.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "image/Surface.h"

namespace zvx::gui {

class PngCodec {
 public:
  // Any colour type and depth, converted to 8-bit RGBA: palettes and gray
  // expanded, transparency chunks turned into alpha, 16-bit samples cut to
  // their high byte. No gamma or colour-profile conversion. An image that is
  // damaged, truncated, larger than the limits of ImageLimits.h or larger than
  // its compressed data could hold gives an empty surface.
  static Surface decode(std::span<const unsigned char> bytes);
  // An 8-bit RGBA, non-interlaced PNG of the surface; empty for an empty surface
  // or when libpng fails.
  static std::vector<unsigned char> encode(const Surface& surface);
  // encode() written to `path`; false when there was nothing to write or the
  // file could not be written completely.
  static bool writeFile(const Surface& surface, const std::string& path);
};

}  // namespace zvx::gui
