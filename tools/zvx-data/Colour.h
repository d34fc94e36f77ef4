// A colour with fractional channels (0 to 255), so gradients and blends keep
// their precision until a pixel is finally written.
#pragma once

#include <cmath>
#include <cstdint>

#include "image/Surface.h"

namespace zvx::data {

struct Colour {
  double r = 0, g = 0, b = 0;

  static constexpr Colour hex(std::uint32_t rgb) {
    return {static_cast<double>((rgb >> 16) & 0xFF), static_cast<double>((rgb >> 8) & 0xFF),
            static_cast<double>(rgb & 0xFF)};
  }
  // `a` at t = 0, `b` at t = 1.
  static Colour mix(const Colour& a, const Colour& b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
  }
  Colour scaled(double factor) const { return {r * factor, g * factor, b * factor}; }

  static std::uint8_t channel(double value) {
    return static_cast<std::uint8_t>(std::lround(value < 0 ? 0 : value > 255 ? 255 : value));
  }
  gui::Pixel pixel() const { return gui::makePixel(channel(r), channel(g), channel(b)); }
  static Colour of(gui::Pixel p) { return {double(gui::redOf(p)), double(gui::greenOf(p)), double(gui::blueOf(p))}; }
};

}  // namespace zvx::data
