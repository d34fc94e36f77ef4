// A 32-bit pixel surface that the whole editor draws into, in software, so it
// can be drawn and inspected without a window. Pixels are 0xAARRGGBB, rows top
// to bottom; alpha 255 is opaque.
#pragma once

#include <cstdint>
#include <vector>

namespace zvx::gui {

using Pixel = std::uint32_t;

constexpr Pixel makePixel(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255) {
  return (static_cast<Pixel>(a) << 24) | (static_cast<Pixel>(r) << 16) | (static_cast<Pixel>(g) << 8) | b;
}
constexpr std::uint8_t alphaOf(Pixel p) { return static_cast<std::uint8_t>(p >> 24); }
constexpr std::uint8_t redOf(Pixel p) { return static_cast<std::uint8_t>(p >> 16); }
constexpr std::uint8_t greenOf(Pixel p) { return static_cast<std::uint8_t>(p >> 8); }
constexpr std::uint8_t blueOf(Pixel p) { return static_cast<std::uint8_t>(p); }

// `source` over `destination` with the source's alpha scaled by `opacity`
// (0 to 255); the result is opaque when the destination was.
inline Pixel blend(Pixel destination, Pixel source, unsigned opacity = 255) {
  const unsigned a = alphaOf(source) * opacity / 255;
  if (a == 0) return destination;
  if (a == 255) return source | 0xFF000000u;
  auto mix = [a](unsigned d, unsigned s) { return (s * a + d * (255 - a) + 127) / 255; };
  const unsigned outA = a + alphaOf(destination) * (255 - a) / 255;
  return makePixel(static_cast<std::uint8_t>(mix(redOf(destination), redOf(source))),
                   static_cast<std::uint8_t>(mix(greenOf(destination), greenOf(source))),
                   static_cast<std::uint8_t>(mix(blueOf(destination), blueOf(source))),
                   static_cast<std::uint8_t>(outA));
}

class Surface {
 public:
  Surface() = default;
  Surface(int width, int height, Pixel fill = makePixel(0, 0, 0))
      : width_(width > 0 ? width : 0), height_(height > 0 ? height : 0),
        pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), fill) {}

  int width() const { return width_; }
  int height() const { return height_; }
  bool empty() const { return pixels_.empty(); }
  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

  Pixel at(int x, int y) const { return pixels_[index(x, y)]; }
  Pixel& at(int x, int y) { return pixels_[index(x, y)]; }
  // Writes and blends are clipped to the surface.
  void set(int x, int y, Pixel p) {
    if (contains(x, y)) pixels_[index(x, y)] = p;
  }
  void blendAt(int x, int y, Pixel p, unsigned opacity = 255) {
    if (contains(x, y)) pixels_[index(x, y)] = blend(pixels_[index(x, y)], p, opacity);
  }

  const Pixel* data() const { return pixels_.data(); }
  Pixel* data() { return pixels_.data(); }
  const std::vector<Pixel>& pixels() const { return pixels_; }

 private:
  std::size_t index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
  }
  int width_ = 0;
  int height_ = 0;
  std::vector<Pixel> pixels_;
};

}  // namespace zvx::gui
