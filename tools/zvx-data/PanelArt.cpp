#include "tools/zvx-data/PanelArt.h"

#include <algorithm>
#include <cmath>

#include "tools/zvx-data/Random.h"

namespace zvx::data {
namespace {

const Colour kBlack{0, 0, 0};
const Colour kWhite{255, 255, 255};

}  // namespace

void PanelArt::gradient(const Colour& top, const Colour& bottom) {
  painter_.fill(0, 0, width(), height(), [](double, double) { return -1.0; },
                Painter::vertical(0, top, height(), bottom));
}

void PanelArt::grain(double amount, std::uint32_t seed) {
  Random random(seed);
  for (int y = 0; y < canvas_.height(); ++y)
    for (int x = 0; x < canvas_.width(); ++x) {
      const double offset = random.nextSigned() * amount;
      const Colour c = Colour::of(canvas_.at(x, y));
      canvas_.at(x, y) = Colour{c.r + offset, c.g + offset, c.b + offset}.pixel();
    }
}

void PanelArt::header(int x, int y, int w, int h) {
  painter_.fill(x, y, x + w, y + h, Painter::box(x, y, x + w, y + h), Painter::vertical(y, look_.headerTop, y + h, look_.headerBottom));
  // A shadow falls below the bar; its lower edge catches a little light.
  painter_.soft(x, y + h, x + w, y + h + 8, Painter::box(x - 10, y - 10, x + w + 10, y + h), kBlack, 0.55, 4);
  painter_.fill(x, y + h - 1, x + w, y + h, Painter::box(x, y + h - 1, x + w, y + h), look_.edgeLight, 0.6);
  painter_.fill(x, y, x + w, y + 1, Painter::box(x, y, x + w, y + 1), kWhite, 0.05);
}

void PanelArt::panel(int x, int y, int w, int h, const Colour* accent, const std::vector<int>& dividers) {
  const double x0 = x, y0 = y, x1 = x + w, y1 = y + h;
  const double radius = 5;
  painter_.soft(x - 6, y - 4, x + w + 6, y + h + 8, Painter::box(x0, y0 + 2, x1, y1 + 2, radius), kBlack, 0.6, 3.5);
  const Painter::Field outline = Painter::box(x0, y0, x1, y1, radius);
  const Painter::Field face = Painter::box(x0 + 1, y0 + 1, x1 - 1, y1 - 1, radius - 1);
  painter_.fill(x, y, x + w, y + h, outline, look_.edgeDark);
  painter_.fill(x, y, x + w, y + h, face, Painter::vertical(y0, look_.panelTop, y1, look_.panelBottom));
  // The top edge catches the light.
  painter_.fill(x, y, x + w, y + 3, Painter::subtract(face, Painter::box(x0 + 1, y0 + 2, x1 - 1, y1 - 1, radius - 1)),
                look_.edgeLight, 0.8);
  if (accent) {
    const double washWidth = 110;
    for (int px = x + 1; px < x + static_cast<int>(washWidth); ++px) {
      const double t = (px - x0) / washWidth;
      const double opacity = 0.10 * (1 - t) * (1 - t);
      painter_.fill(px, y, px + 1, y + h, face, *accent, opacity);
    }
    const Painter::Field stripe = Painter::intersect(face, Painter::box(x0, y0, x0 + 4, y1));
    painter_.fill(x, y, x + 5, y + h, stripe,
                  Painter::vertical(y0, Colour::mix(*accent, kWhite, 0.25), y1, Colour::mix(*accent, kBlack, 0.25)));
  }
  for (int d : dividers) divider(d, y + 10, h - 20);
}

void PanelArt::divider(int x, int y, int h) {
  painter_.fill(x, y, x + 1, y + h, Painter::box(x, y, x + 1, y + h), look_.edgeDark, 0.9);
  painter_.fill(x + 1, y, x + 2, y + h, Painter::box(x + 1, y, x + 2, y + h), look_.edgeLight, 0.45);
}

void PanelArt::valueField(int x, int y, int w, int h) {
  const double x0 = x, y0 = y, x1 = x + w, y1 = y + h;
  painter_.fill(x - 1, y - 1, x + w + 1, y + h + 1, Painter::box(x0 - 0.5, y0 - 0.5, x1 + 0.5, y1 + 0.5, 3.5),
                look_.edgeLight, 0.35);
  painter_.fill(x, y, x + w, y + h, Painter::box(x0, y0, x1, y1, 3), look_.fieldEdge);
  painter_.fill(x, y, x + w, y + h, Painter::box(x0 + 1, y0 + 1, x1 - 1, y1 - 0.5, 2.5), look_.field);
  painter_.fill(x, y, x + w, y + 3, Painter::intersect(Painter::box(x0 + 1, y0 + 1, x1 - 1, y1, 2.5), Painter::box(x0, y0, x1, y0 + 2)),
                kBlack, 0.35);
}

// A raised box; `mark` says what is drawn on its right: a drop-down mark, or
// (for an arrow button) a triangle in its middle pointing left or right.
void PanelArt::raisedBox(int x, int y, int w, int h, Mark mark) {
  const double x0 = x, y0 = y, x1 = x + w, y1 = y + h;
  painter_.soft(x - 2, y - 1, x + w + 2, y + h + 3, Painter::box(x0, y0 + 1, x1, y1 + 1, 3), kBlack, 0.5, 1.5);
  painter_.fill(x, y, x + w, y + h, Painter::box(x0, y0, x1, y1, 3), look_.edgeDark);
  const Painter::Field face = Painter::box(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 2);
  painter_.fill(x, y, x + w, y + h, face, Painter::vertical(y0, look_.menuTop, y1, look_.menuBottom));
  painter_.fill(x, y, x + w, y + 3, Painter::subtract(face, Painter::box(x0 + 1, y0 + 2, x1 - 1, y1 - 1, 2)),
                look_.edgeLight, 0.7);
  const double cy = (y0 + y1) / 2 + 0.5;
  Painter::Field shape;
  if (mark == Mark::Drop) {
    const double cx = x1 - 8;
    shape = Painter::polygon({{cx - 3.5, cy - 2}, {cx + 3.5, cy - 2}, {cx, cy + 2.2}});
  } else {
    const double cx = (x0 + x1) / 2, d = mark == Mark::Left ? -1.0 : 1.0;
    shape = Painter::polygon({{cx - 2.2 * d, cy - 3.5}, {cx - 2.2 * d, cy + 3.5}, {cx + 2.2 * d, cy}});
  }
  painter_.fill(x, y, x + w, y + h, shape, look_.caption);
}

void PanelArt::menuBox(int x, int y, int w, int h) { raisedBox(x, y, w, h, Mark::Drop); }

void PanelArt::programLine(int x, int y, int w, int h) {
  if (w < 3 * h) {
    menuBox(x, y, w, h);
    return;
  }
  raisedBox(x, y, h, h, Mark::Left);
  menuBox(x + h + 2, y, w - 2 * h - 4, h);
  raisedBox(x + w - h, y, h, h, Mark::Right);
}

void PanelArt::screen(int x, int y, int w, int h) {
  const double x0 = x, y0 = y, x1 = x + w, y1 = y + h;
  painter_.fill(x - 1, y - 1, x + w + 1, y + h + 1, Painter::box(x0 - 1, y0 - 1, x1 + 1, y1 + 1, 4.5), look_.edgeLight, 0.45);
  painter_.fill(x, y, x + w, y + h, Painter::box(x0, y0, x1, y1, 4), look_.screenEdge);
  const Painter::Field glass = Painter::box(x0 + 1.5, y0 + 1.5, x1 - 1.5, y1 - 1.5, 3);
  painter_.fill(x, y, x + w, y + h, glass,
                Painter::vertical(y0, Colour::mix(look_.screen, kWhite, 0.035), y1, look_.screen));
  painter_.fill(x, y, x + w, y + 4, Painter::intersect(glass, Painter::box(x0, y0, x1, y0 + 3.5)), kBlack, 0.3);
}

void PanelArt::caption(const std::string& text, double centre, int baseline) {
  painter_.text(text, centre, baseline, Painter::Font{9, true, 0}, look_.caption, Painter::Align::Centre);
}

void PanelArt::text(const std::string& text, double x, int baseline, const Painter::Font& font, const Colour& colour,
                    Painter::Align align) {
  painter_.text(text, x, baseline, font, colour, align);
}

void PanelArt::wordmark(int x, int baseline, int size, bool centred, const std::array<Colour, 4>& accents) {
  const Painter::Font font{size, true, std::max(1, size / 14)};
  const int ascent = Painter::ascent(font);
  const int width = Painter::textWidth("ZVX", font);
  if (centred) x -= width / 2;
  painter_.text("ZVX", x + 1, baseline + 2, font, kBlack, Painter::Align::Left, 0.6);
  painter_.text("ZVX", x, baseline, font,
                Painter::vertical(baseline - ascent, Colour::hex(0xFFFFFF), baseline, Colour::hex(0xA9B0BB)));
  // Four voices, four colours: a bar under the letters.
  const double barTop = baseline + std::max(3, size / 9);
  const double barHeight = std::max(2, size / 14);
  const double segment = width / 4.0;
  for (int i = 0; i < 4; ++i) {
    const double left = x + i * segment, right = x + (i + 1) * segment - (i < 3 ? 1.0 : 0.0);
    painter_.fill(static_cast<int>(left) - 1, static_cast<int>(barTop) - 1, static_cast<int>(right) + 2,
                  static_cast<int>(barTop + barHeight) + 2, Painter::box(left, barTop, right, barTop + barHeight, barHeight / 2),
                  accents[static_cast<std::size_t>(i)]);
  }
}

void PanelArt::outline() {
  const double w = width(), h = height();
  const Painter::Field edge = Painter::subtract(Painter::box(0, 0, w, h, 6), Painter::box(1, 1, w - 1, h - 1, 5));
  painter_.fill(0, 0, width(), height(), edge, look_.edgeLight);
  // The corners outside the rounding take the darkest shade, as the frame's shadow.
  painter_.fill(0, 0, width(), height(), [&](double x, double y) { return -Painter::box(0, 0, w, h, 6)(x, y); },
                look_.edgeDark);
}

// Pixel by pixel of the canvas, each sampled where it lies in the picture.
void PanelArt::glow(int x, int y, int w, int h, const Colour& colour, double opacity) {
  const double cx = x + w / 2.0, cy = y + h / 2.0, rx = w / 2.0, ry = h / 2.0;
  const auto scaled = [this](double v) { return static_cast<int>(std::lround(v * scale_)); };
  for (int py = scaled(y); py < scaled(y + h); ++py)
    for (int px = scaled(x); px < scaled(x + w); ++px) {
      if (!canvas_.contains(px, py)) continue;
      const double dx = ((px + 0.5) / scale_ - cx) / rx, dy = ((py + 0.5) / scale_ - cy) / ry;
      const double d = dx * dx + dy * dy;
      if (d >= 1) continue;
      const double alpha = opacity * (1 - d) * (1 - d);
      canvas_.at(px, py) = Colour::mix(Colour::of(canvas_.at(px, py)), colour, alpha).pixel();
    }
}

}  // namespace zvx::data
