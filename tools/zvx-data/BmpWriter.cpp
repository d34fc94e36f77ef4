#include "tools/zvx-data/BmpWriter.h"

#include "storage/LittleEndian.h"

namespace zvx::data {

using le::put16;
using le::put32;

std::vector<std::uint8_t> BmpWriter::encode(const gui::Surface& surface) {
  const auto width = static_cast<std::uint32_t>(surface.width());
  const auto height = static_cast<std::uint32_t>(surface.height());
  const std::uint32_t rowBytes = (width * 3 + 3) & ~3u;
  const std::uint32_t headers = 14 + 40;
  const std::uint32_t imageBytes = rowBytes * height;

  std::vector<std::uint8_t> out;
  out.reserve(headers + imageBytes);
  out.push_back('B');
  out.push_back('M');
  put32(out, headers + imageBytes);
  put32(out, 0);
  put32(out, headers);
  // BITMAPINFOHEADER
  put32(out, 40);
  put32(out, width);
  put32(out, height);  // positive: bottom-up
  put16(out, 1);
  put16(out, 24);
  put32(out, 0);  // BI_RGB
  put32(out, imageBytes);
  put32(out, 2835);  // 72 dpi
  put32(out, 2835);
  put32(out, 0);
  put32(out, 0);
  for (std::uint32_t row = height; row-- > 0;) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const gui::Pixel p = surface.at(static_cast<int>(x), static_cast<int>(row));
      out.push_back(gui::blueOf(p));
      out.push_back(gui::greenOf(p));
      out.push_back(gui::redOf(p));
    }
    for (std::uint32_t pad = width * 3; pad < rowBytes; ++pad) out.push_back(0);
  }
  return out;
}

}  // namespace zvx::data
