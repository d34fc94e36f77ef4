// Anti-aliased drawing into a surface for the skin's art: shapes given as
// signed distance fields (negative inside, in pixels), filled with a colour or
// a shader, soft shadows and glows, and text from the platform's rasteriser.
// Everything is plain double arithmetic, so a drawing is the same every run.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "image/Surface.h"
#include "tools/zvx-data/Colour.h"

namespace zvx::data {

class Painter {
 public:
  using Field = std::function<double(double x, double y)>;
  using Shader = std::function<Colour(double x, double y)>;

  struct Font {
    int size = 9;       // em size in pixels
    bool bold = false;
    int tracking = 0;   // extra pixels between letters; kerning is given up when non-zero
  };
  enum class Align { Left, Centre, Right };

  // Shapes, text and coordinates are given in picture pixels; the target
  // holds the picture `scale` times as large (2 for the "@2x" art), each of
  // its pixels sampled where it lies in the picture.
  explicit Painter(gui::Surface& target, double scale = 1.0) : target_(target), scale_(scale) {}
  gui::Surface& surface() { return target_; }
  double scale() const { return scale_; }

  // The shape over the pixels of [x0, x1) x [y0, y1), its edge smoothed over one pixel.
  void fill(int x0, int y0, int x1, int y1, const Field& shape, const Shader& shade, double opacity = 1.0);
  void fill(int x0, int y0, int x1, int y1, const Field& shape, const Colour& colour, double opacity = 1.0);
  // A blurred shape: full `opacity` `softness` pixels inside its edge, none as far outside.
  void soft(int x0, int y0, int x1, int y1, const Field& shape, const Colour& colour, double opacity,
            double softness);
  // Pixels the shape does not reach at all become `key` (a film strip's transparent colour).
  void keyOutside(const Field& shape, gui::Pixel key);

  // One line of text; `x` is the left, centre or right end as aligned, `baseline` the row the letters stand on.
  void text(const std::string& text, double x, int baseline, const Font& font, const Shader& shade,
            Align align = Align::Left, double opacity = 1.0);
  void text(const std::string& text, double x, int baseline, const Font& font, const Colour& colour,
            Align align = Align::Left, double opacity = 1.0);
  static int textWidth(const std::string& text, const Font& font);
  static int ascent(const Font& font);

  // Shapes. Angles are in radians, clockwise from twelve o'clock.
  static Field circle(double cx, double cy, double radius);
  static Field box(double x0, double y0, double x1, double y1, double radius = 0.0);
  static Field ring(double cx, double cy, double radius, double halfWidth);
  // An arc of a ring with round ends; from > to is drawn from `to` to `from`.
  static Field arc(double cx, double cy, double radius, double halfWidth, double from, double to);
  static Field segment(double ax, double ay, double bx, double by, double halfWidth);
  // A convex polygon, corners in either winding.
  static Field polygon(std::vector<std::pair<double, double>> corners);
  static Field intersect(Field a, Field b);
  static Field subtract(Field a, Field b);

  // Shaders: a vertical gradient from `top` at y0 to `bottom` at y1; a flat colour.
  static Shader vertical(double y0, const Colour& top, double y1, const Colour& bottom);
  static Shader flat(const Colour& colour);

 private:
  // The target's pixels that [from, to) of the picture covers along one axis, within `size`.
  std::pair<int, int> span(double from, double to, int size) const;

  gui::Surface& target_;
  double scale_;
};

}  // namespace zvx::data
