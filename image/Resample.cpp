#include "image/Resample.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "image/ImageLimits.h"

namespace zvx::gui {
namespace {

// Premultiplied channels: red, green and blue times alpha, then alpha, 0 to 1.
using Colour = std::array<float, 4>;

// Which source pixels make each target pixel along one axis, and how much.
struct Tap {
  int first = 0;
  std::vector<float> weights;  // of first, first + 1, ...; they sum to 1
};

std::vector<Tap> tapsFor(int from, int to) {
  std::vector<Tap> taps(static_cast<std::size_t>(to));
  const double step = static_cast<double>(from) / to;
  for (int i = 0; i < to; ++i) {
    Tap& tap = taps[static_cast<std::size_t>(i)];
    if (from > to) {
      // The covered interval [i * step, (i + 1) * step), each pixel by its overlap.
      const double begin = i * step, end = (i + 1) * step;
      tap.first = static_cast<int>(std::floor(begin));
      for (int s = tap.first; s < from && s < end; ++s)
        tap.weights.push_back(static_cast<float>((std::min<double>(s + 1, end) - std::max<double>(s, begin)) / step));
    } else {
      // The centre of the target pixel, between two source centres.
      const double centre = std::clamp((i + 0.5) * step - 0.5, 0.0, static_cast<double>(from - 1));
      tap.first = std::min(static_cast<int>(std::floor(centre)), from - 1);
      const auto fraction = static_cast<float>(centre - tap.first);
      tap.weights.push_back(1.0f - fraction);
      if (tap.first + 1 < from) tap.weights.push_back(fraction);
    }
  }
  return taps;
}

Colour colourOf(Pixel p) {
  const float a = alphaOf(p) / 255.0f;
  return {redOf(p) / 255.0f * a, greenOf(p) / 255.0f * a, blueOf(p) / 255.0f * a, a};
}

std::uint8_t channel(float value) { return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f)); }

Pixel pixelOf(const Colour& c) {
  if (c[3] <= 0.0f) return 0;
  return makePixel(channel(c[0] / c[3]), channel(c[1] / c[3]), channel(c[2] / c[3]), channel(c[3]));
}

}  // namespace

Surface resample(const Surface& source, int width, int height) {
  if (source.empty() || width <= 0 || height <= 0) return {};
  const int sourceWidth = source.width(), sourceHeight = source.height();
  // The decoders' limits, for the result and for the rows between the passes.
  const auto pixels = [](int w, int h) { return static_cast<std::size_t>(w) * static_cast<std::size_t>(h); };
  if (width > kMaxImageSide || height > kMaxImageSide || pixels(width, height) > kMaxImagePixels / 4 ||
      pixels(width, sourceHeight) > kMaxImagePixels / 4)
    return {};
  const std::vector<Tap> across = tapsFor(sourceWidth, width), down = tapsFor(sourceHeight, height);
  // Rows first, into premultiplied colours; then columns.
  std::vector<Colour> rows(static_cast<std::size_t>(width) * static_cast<std::size_t>(sourceHeight));
  for (int y = 0; y < sourceHeight; ++y)
    for (int x = 0; x < width; ++x) {
      const Tap& tap = across[static_cast<std::size_t>(x)];
      Colour sum{};
      for (std::size_t k = 0; k < tap.weights.size(); ++k) {
        const Colour c = colourOf(source.at(tap.first + static_cast<int>(k), y));
        for (std::size_t ch = 0; ch < 4; ++ch) sum[ch] += c[ch] * tap.weights[k];
      }
      rows[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = sum;
    }
  Surface result(width, height, 0);
  for (int y = 0; y < height; ++y) {
    const Tap& tap = down[static_cast<std::size_t>(y)];
    for (int x = 0; x < width; ++x) {
      Colour sum{};
      for (std::size_t k = 0; k < tap.weights.size(); ++k) {
        const Colour& c =
            rows[static_cast<std::size_t>(tap.first + static_cast<int>(k)) * static_cast<std::size_t>(width) +
                 static_cast<std::size_t>(x)];
        for (std::size_t ch = 0; ch < 4; ++ch) sum[ch] += c[ch] * tap.weights[k];
      }
      result.at(x, y) = pixelOf(sum);
    }
  }
  return result;
}

}  // namespace zvx::gui
