// Surfaces to Windows bitmap files as every skin loader reads them: 24 bits a
// pixel, uncompressed, rows bottom-up and padded to four bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "image/Surface.h"

namespace zvx::data {

class BmpWriter {
 public:
  // Alpha is dropped: skins key transparency by colour, not by alpha.
  static std::vector<std::uint8_t> encode(const gui::Surface& surface);
};

}  // namespace zvx::data
