#include "tools/zvx-data/Painter.h"

#include <algorithm>
#include <cmath>

#include "platform/Text.h"

namespace zvx::data {
namespace {

double clamp01(double v) { return v < 0 ? 0 : v > 1 ? 1 : v; }

// Hermite step from 0 at `edge0` to 1 at `edge1`.
double smoothstep(double edge0, double edge1, double v) {
  const double t = clamp01((v - edge0) / (edge1 - edge0));
  return t * t * (3 - 2 * t);
}

platform::FontSpec specOf(const Painter::Font& font) { return platform::FontSpec{font.size, font.bold, false}; }

}  // namespace

std::pair<int, int> Painter::span(double from, double to, int size) const {
  return {std::max(0, static_cast<int>(std::floor(from * scale_))), std::min(size, static_cast<int>(std::ceil(to * scale_)))};
}

// Coverage from the shape's distance in target pixels: the edge is smoothed over one of them.
void Painter::fill(int x0, int y0, int x1, int y1, const Field& shape, const Shader& shade, double opacity) {
  const auto [left, right] = span(x0, x1, target_.width());
  const auto [top, bottom] = span(y0, y1, target_.height());
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) {
      const double px = (x + 0.5) / scale_, py = (y + 0.5) / scale_;
      const double coverage = clamp01(0.5 - shape(px, py) * scale_) * opacity;
      if (coverage <= 0) continue;
      const Colour base = Colour::of(target_.at(x, y));
      target_.at(x, y) = Colour::mix(base, shade(px, py), coverage).pixel();
    }
}

void Painter::fill(int x0, int y0, int x1, int y1, const Field& shape, const Colour& colour, double opacity) {
  fill(x0, y0, x1, y1, shape, flat(colour), opacity);
}

void Painter::soft(int x0, int y0, int x1, int y1, const Field& shape, const Colour& colour, double opacity,
                   double softness) {
  const auto [left, right] = span(x0, x1, target_.width());
  const auto [top, bottom] = span(y0, y1, target_.height());
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) {
      const double alpha =
          (1.0 - smoothstep(-softness, softness, shape((x + 0.5) / scale_, (y + 0.5) / scale_))) * opacity;
      if (alpha <= 0) continue;
      target_.at(x, y) = Colour::mix(Colour::of(target_.at(x, y)), colour, alpha).pixel();
    }
}

void Painter::keyOutside(const Field& shape, gui::Pixel key) {
  for (int y = 0; y < target_.height(); ++y)
    for (int x = 0; x < target_.width(); ++x)
      if (shape((x + 0.5) / scale_, (y + 0.5) / scale_) * scale_ >= 0.5) target_.at(x, y) = key;
}

// Letters are rendered at the target's size, not scaled as pixels.
void Painter::text(const std::string& text, double x, int baseline, const Font& font, const Shader& shade, Align align,
                   double opacity) {
  const Font drawn{std::max(1, static_cast<int>(std::lround(font.size * scale_))), font.bold,
                   static_cast<int>(std::lround(font.tracking * scale_))};
  const int width = textWidth(text, drawn);
  double left = x * scale_;
  if (align == Align::Centre) left -= width / 2.0;
  if (align == Align::Right) left -= width;
  int pen = static_cast<int>(std::lround(left));
  const int line = static_cast<int>(std::lround(baseline * scale_));
  // Letter by letter when spaced out, else the whole line with its kerning.
  std::vector<std::string> pieces;
  if (drawn.tracking == 0)
    pieces.push_back(text);
  else
    for (char c : text) pieces.emplace_back(1, c);
  for (const std::string& piece : pieces) {
    const platform::TextImage image = platform::renderText(piece, specOf(drawn));
    const int top = line - image.ascent;
    for (int row = 0; row < image.height; ++row)
      for (int column = 0; column < image.width; ++column) {
        const unsigned coverage = image.coverage[static_cast<std::size_t>(row * image.width + column)];
        const int px = pen + column, py = top + row;
        if (!coverage || !target_.contains(px, py)) continue;
        const Colour base = Colour::of(target_.at(px, py));
        const Colour ink = shade((px + 0.5) / scale_, (py + 0.5) / scale_);
        target_.at(px, py) = Colour::mix(base, ink, coverage / 255.0 * opacity).pixel();
      }
    pen += platform::textWidth(piece, specOf(drawn)) + drawn.tracking;
  }
}

void Painter::text(const std::string& text, double x, int baseline, const Font& font, const Colour& colour,
                   Align align, double opacity) {
  this->text(text, x, baseline, font, flat(colour), align, opacity);
}

int Painter::textWidth(const std::string& text, const Font& font) {
  if (font.tracking == 0) return platform::textWidth(text, specOf(font));
  int width = 0;
  for (char c : text) width += platform::textWidth(std::string(1, c), specOf(font)) + font.tracking;
  return text.empty() ? 0 : width - font.tracking;
}

int Painter::ascent(const Font& font) { return platform::renderText("X", specOf(font)).ascent; }

Painter::Field Painter::circle(double cx, double cy, double radius) {
  return [=](double x, double y) { return std::hypot(x - cx, y - cy) - radius; };
}

Painter::Field Painter::box(double x0, double y0, double x1, double y1, double radius) {
  const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  const double hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
  return [=](double x, double y) {
    const double qx = std::abs(x - cx) - hx, qy = std::abs(y - cy) - hy;
    const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - radius;
  };
}

Painter::Field Painter::ring(double cx, double cy, double radius, double halfWidth) {
  return [=](double x, double y) { return std::abs(std::hypot(x - cx, y - cy) - radius) - halfWidth; };
}

Painter::Field Painter::arc(double cx, double cy, double radius, double halfWidth, double from, double to) {
  if (from > to) std::swap(from, to);
  const double ax = cx + radius * std::sin(from), ay = cy - radius * std::cos(from);
  const double bx = cx + radius * std::sin(to), by = cy - radius * std::cos(to);
  return [=](double x, double y) {
    const double angle = std::atan2(x - cx, cy - y);
    if (angle >= from && angle <= to) return std::abs(std::hypot(x - cx, y - cy) - radius) - halfWidth;
    return std::min(std::hypot(x - ax, y - ay), std::hypot(x - bx, y - by)) - halfWidth;
  };
}

Painter::Field Painter::segment(double ax, double ay, double bx, double by, double halfWidth) {
  return [=](double x, double y) {
    const double dx = bx - ax, dy = by - ay;
    const double length2 = dx * dx + dy * dy;
    const double t = length2 > 0 ? clamp01(((x - ax) * dx + (y - ay) * dy) / length2) : 0.0;
    return std::hypot(x - (ax + t * dx), y - (ay + t * dy)) - halfWidth;
  };
}

Painter::Field Painter::polygon(std::vector<std::pair<double, double>> corners) {
  // Signed area tells the winding, so every edge's outward side is known.
  double area = 0;
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const auto& [x0, y0] = corners[i];
    const auto& [x1, y1] = corners[(i + 1) % corners.size()];
    area += x0 * y1 - x1 * y0;
  }
  const double sign = area < 0 ? -1.0 : 1.0;
  return [corners = std::move(corners), sign](double x, double y) {
    double distance = -1e9;
    for (std::size_t i = 0; i < corners.size(); ++i) {
      const auto& [x0, y0] = corners[i];
      const auto& [x1, y1] = corners[(i + 1) % corners.size()];
      const double ex = x1 - x0, ey = y1 - y0;
      const double length = std::hypot(ex, ey);
      if (length == 0) continue;
      distance = std::max(distance, sign * ((x - x0) * ey - (y - y0) * ex) / length);
    }
    return distance;
  };
}

Painter::Field Painter::intersect(Field a, Field b) {
  return [a = std::move(a), b = std::move(b)](double x, double y) { return std::max(a(x, y), b(x, y)); };
}

Painter::Field Painter::subtract(Field a, Field b) {
  return [a = std::move(a), b = std::move(b)](double x, double y) { return std::max(a(x, y), -b(x, y)); };
}

Painter::Shader Painter::vertical(double y0, const Colour& top, double y1, const Colour& bottom) {
  return [=](double, double y) { return Colour::mix(top, bottom, clamp01((y - y0) / (y1 - y0))); };
}

Painter::Shader Painter::flat(const Colour& colour) {
  return [=](double, double) { return colour; };
}

}  // namespace zvx::data
