// Windows and OS/2 bitmap files (.bmp) to surfaces.
#pragma once

#include <span>

#include "image/Surface.h"

namespace zvx::gui {

class BmpDecoder {
 public:
  // Decodes a whole BMP file: the file header, then a core (OS/2, 12 bytes),
  // OS/2 2.x (64), info (40), V2/V3 (52/56), V4 (108) or V5 (124) header;
  // 1, 2, 4 and 8 bits with a palette, 16, 24 and 32 bits; uncompressed,
  // RLE8, RLE4 and bit fields; bottom-up or top-down rows.
  //
  // Anything that cannot be decoded gives an empty surface, never an exception:
  // sizes of 0, sides over kMaxImageSide or more than kMaxImagePixels, unknown
  // header sizes, depths or compressions, a pixel data offset outside the file
  // or inside the headers, uncompressed pixel data shorter than the rows need
  // (only the last row's padding may be missing), RLE data of less than one
  // byte per 16384 pixels.
  //
  // Tolerated, since writers often get them wrong: the file size and image size
  // fields (the data actually present is what counts), the plane count, and a
  // palette shorter than the depth allows (missing entries are black).
  // RLE data that ends early, or skips pixels with end-of-line, delta or
  // end-of-bitmap, leaves the pixels it does not reach opaque black.
  static Surface decode(std::span<const unsigned char> bytes);
};

}  // namespace zvx::gui
