#include "tools/zvx-data/ControlArt.h"

#include <cmath>

#include "tools/zvx-data/Painter.h"

namespace zvx::data {
namespace {

constexpr double kSweep = 2.356194490192345;  // 135 degrees either side of twelve o'clock
const Colour kBlack{0, 0, 0};
const Colour kWhite{255, 255, 255};

// A length of the picture in pixels of its drawing at `scale`.
int scaled(int length, double scale) { return static_cast<int>(std::lround(length * scale)); }

// A drawing never leaves the transparent colour where it meant a pixel.
void avoidKeyColour(gui::Surface& surface, int y0, int y1) {
  for (int y = y0; y < y1; ++y)
    for (int x = 0; x < surface.width(); ++x)
      if ((surface.at(x, y) & 0xFFFFFF) == (ControlArt::kTransparent & 0xFFFFFF)) surface.at(x, y) = gui::makePixel(1, 255, 0);
}

// Draws one frame into `frame` (a surface of the frame's size) and copies it into the strip.
void place(gui::Surface& strip, const gui::Surface& frame, int index) {
  for (int y = 0; y < frame.height(); ++y)
    for (int x = 0; x < frame.width(); ++x) strip.at(x, index * frame.height() + y) = frame.at(x, y);
}

Painter::Shader radial(double cx, double cy, double radius, const Colour& inner, const Colour& outer) {
  return [=](double x, double y) {
    const double t = std::hypot(x - cx, y - cy) / radius;
    return Colour::mix(inner, outer, t < 0 ? 0 : t > 1 ? 1 : t);
  };
}

}  // namespace

gui::Surface ControlArt::knob(const Look& look, int size, int frames, const Colour& accent, bool fromCentre,
                              double scale) {
  gui::Surface strip(scaled(size, scale), scaled(size, scale) * frames);
  const double c = size / 2.0;
  const double trackRadius = c - 2.5;
  const double trackHalf = 1.5;
  const double body = c - 6.0;
  for (int i = 0; i < frames; ++i) {
    gui::Surface frame(scaled(size, scale), scaled(size, scale), look.panel.pixel());
    Painter p(frame, scale);
    const double value = frames > 1 ? static_cast<double>(i) / (frames - 1) : 0.0;
    const double angle = -kSweep + 2 * kSweep * value;

    p.fill(0, 0, size, size, Painter::arc(c, c, trackRadius, trackHalf, -kSweep, kSweep), look.track);
    if (fromCentre)  // a notch marks the middle
      p.fill(0, 0, size, size, Painter::segment(c, c - trackRadius - trackHalf + 0.5, c, c - trackRadius + trackHalf - 0.5, 0.5),
             Colour::mix(look.track, look.label, 0.55));
    const double start = fromCentre ? 0.0 : -kSweep;
    if (std::abs(angle - start) > 1e-9) {
      const Painter::Field lit = Painter::arc(c, c, trackRadius, trackHalf - 0.2, start, angle);
      p.soft(0, 0, size, size, lit, accent, 0.35, 1.6);
      p.fill(0, 0, size, size, lit, Painter::vertical(0, Colour::mix(accent, kWhite, 0.18), size, accent));
    }

    // The body: a soft shadow below, a graded disc, a bevel, a slightly dished face.
    p.soft(0, 0, size, size, Painter::circle(c, c + 1.3, body), kBlack, 0.65, 2.2);
    p.fill(0, 0, size, size, Painter::circle(c, c, body), Painter::vertical(c - body, look.knobTop, c + body, look.knobBottom));
    p.fill(0, 0, size, size, Painter::ring(c, c, body - 0.6, 0.6),
           Painter::vertical(c - body, look.rimLight, c + body, look.rimDark));
    const double face = body - 2.2;
    p.fill(0, 0, size, size, Painter::circle(c, c, face),
           Painter::vertical(c - face, Colour::mix(look.knobTop, look.knobBottom, 0.75), c + face,
                             Colour::mix(look.knobTop, look.knobBottom, 0.3)));

    // The pointer, from near the centre out to the bevel.
    const double sx = std::sin(angle), sy = -std::cos(angle);
    const double inner = body * 0.32, outer = body - 2.0;
    p.fill(0, 0, size, size, Painter::segment(c + sx * inner, c + sy * inner + 0.6, c + sx * outer, c + sy * outer + 0.6, 1.0),
           kBlack, 0.45);
    p.fill(0, 0, size, size, Painter::segment(c + sx * inner, c + sy * inner, c + sx * outer, c + sy * outer, 1.0),
           look.indicator);

    avoidKeyColour(frame, 0, frame.height());
    p.keyOutside(Painter::circle(c, c, c - 0.2), kTransparent);
    place(strip, frame, i);
  }
  return strip;
}

gui::Surface ControlArt::button(const Look& look, int width, int height, const Colour& accent, const std::string& text,
                                double scale) {
  gui::Surface strip(scaled(width, scale), scaled(height, scale) * 2);
  for (int on = 0; on < 2; ++on) {
    gui::Surface frame(scaled(width, scale), scaled(height, scale), look.panel.pixel());
    Painter p(frame, scale);
    const double w = width, h = height;
    const Painter::Field outline = Painter::box(0.5, 0.5, w - 0.5, h - 0.5, 3.5);
    const Painter::Field face = Painter::box(1.5, 1.5, w - 1.5, h - 1.5, 2.5);
    p.fill(0, 0, width, height, outline, Colour::mix(look.panel, kBlack, 0.7));
    const Colour top = on ? Colour::mix(look.buttonTop, accent, 0.16) : look.buttonTop;
    const Colour bottom = on ? Colour::mix(look.buttonBottom, accent, 0.08) : look.buttonBottom;
    p.fill(0, 0, width, height, face, Painter::vertical(1.5, top, h - 1.5, bottom));
    // A light edge along the top of the face.
    p.fill(0, 0, width, height, Painter::intersect(Painter::subtract(face, Painter::box(1.5, 2.5, w - 1.5, h - 1.5, 2.5)), face),
           look.rimLight, 0.5);

    // The lamp.
    const double lx = 8.0, ly = h / 2;
    if (on) p.soft(0, 0, width, height, Painter::circle(lx, ly, 2.2), accent, 0.55, 2.6);
    p.fill(0, 0, width, height, Painter::circle(lx, ly, 2.6), Colour::mix(look.buttonBottom, kBlack, 0.6));
    p.fill(0, 0, width, height, Painter::circle(lx, ly, 2.0),
           on ? radial(lx - 0.5, ly - 0.5, 2.0, Colour::mix(accent, kWhite, 0.6), accent)
              : Painter::flat(Colour::mix(accent, kBlack, 0.72)));

    const Painter::Font font{9, true, 0};
    const int baseline = static_cast<int>(std::lround(h / 2 + Painter::ascent(font) / 2.0));
    p.text(text, (14.0 + w - 3.0) / 2, baseline, font, on ? look.ink : look.label, Painter::Align::Centre);

    avoidKeyColour(frame, 0, frame.height());
    p.keyOutside(outline, kTransparent);
    place(strip, frame, on);
  }
  return strip;
}

gui::Surface ControlArt::lamp(const Look& look, int size, const Colour& accent, double scale) {
  gui::Surface strip(scaled(size, scale), scaled(size, scale) * 2);
  const double c = size / 2.0;
  const double lens = c - 2.5;
  for (int on = 0; on < 2; ++on) {
    gui::Surface frame(scaled(size, scale), scaled(size, scale), look.panel.pixel());
    Painter p(frame, scale);
    if (on) p.soft(0, 0, size, size, Painter::circle(c, c, lens), accent, 0.6, 2.4);
    p.fill(0, 0, size, size, Painter::circle(c, c, lens + 1.0), Colour::mix(look.panel, kBlack, 0.75));
    p.fill(0, 0, size, size, Painter::circle(c, c, lens),
           on ? radial(c - 0.6, c - 0.8, lens * 1.2, Colour::mix(accent, kWhite, 0.65), accent)
              : radial(c - 0.6, c - 0.8, lens * 1.2, Colour::mix(accent, kBlack, 0.55), Colour::mix(accent, kBlack, 0.82)));
    p.fill(0, 0, size, size, Painter::circle(c - lens * 0.35, c - lens * 0.4, lens * 0.28), kWhite, on ? 0.7 : 0.18);
    avoidKeyColour(frame, 0, frame.height());
    p.keyOutside(Painter::circle(c, c, c - 0.2), kTransparent);
    place(strip, frame, on);
  }
  return strip;
}

gui::Surface ControlArt::pad(const Look& look, int width, int height, const Colour& accent, double scale) {
  gui::Surface strip(scaled(width, scale), scaled(height, scale) * 2);
  for (int on = 0; on < 2; ++on) {
    gui::Surface frame(scaled(width, scale), scaled(height, scale), look.panel.pixel());
    Painter p(frame, scale);
    const double w = width, h = height;
    const Painter::Field outline = Painter::box(0.5, 0.5, w - 0.5, h - 0.5, 4.5);
    const Painter::Field face = Painter::box(1.5, 1.5, w - 1.5, h - 1.5, 3.5);
    p.fill(0, 0, width, height, outline, Colour::mix(accent, kBlack, on ? 0.2 : 0.62));
    if (on) {
      p.fill(0, 0, width, height, face,
             Painter::vertical(1.5, Colour::mix(accent, kWhite, 0.35), h - 1.5, Colour::mix(accent, kBlack, 0.1)));
    } else {
      p.fill(0, 0, width, height, face,
             Painter::vertical(1.5, Colour::mix(look.buttonTop, kWhite, 0.05), h - 1.5, look.buttonBottom));
      p.fill(0, 0, width, height, Painter::subtract(face, Painter::box(1.5, 2.5, w - 1.5, h - 1.5, 3.5)), look.rimLight, 0.45);
    }
    // A play mark in the middle.
    const double cx = w / 2 + 1, cy = h / 2, s = 4.0;
    p.fill(0, 0, width, height, Painter::polygon({{cx - s * 0.8, cy - s}, {cx + s, cy}, {cx - s * 0.8, cy + s}}),
           on ? Colour::mix(accent, kBlack, 0.7) : Colour::mix(accent, look.label, 0.35));
    avoidKeyColour(frame, 0, frame.height());
    p.keyOutside(outline, kTransparent);
    place(strip, frame, on);
  }
  return strip;
}

}  // namespace zvx::data
