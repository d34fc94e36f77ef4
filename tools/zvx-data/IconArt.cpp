#include "tools/zvx-data/IconArt.h"

#include <cmath>
#include <cstdio>

#include "tools/zvx-data/Colour.h"
#include "tools/zvx-data/Painter.h"

namespace zvx::data {
namespace {

// The skin's palette (data/skin/art.txt).
constexpr std::uint32_t kTileTop = 0x23272E, kTileBottom = 0x15181D, kEdge = 0x3B414B;
constexpr std::uint32_t kKnobTop = 0x4C525C, kKnobBottom = 0x1C1F24, kRim = 0x737A85, kTrack = 0x0A0B0D;
constexpr std::uint32_t kIndicator = 0xF4F6F8;
constexpr std::uint32_t kVoices[4] = {0xFF6A3D, 0xFFB932, 0x2FD3C1, 0xE2559E};  // bd, sd, hh, cp

// Geometry in design units.
constexpr double kTile0 = 16, kTile1 = 240, kTileRadius = 44, kEdgeHalf = 1;
constexpr double kCentre = 128, kRingRadius = 78, kRingHalf = 10, kKnobRadius = 54, kRimHalf = 1.5;
constexpr double kPi = 3.14159265358979323846;
// The ring sweeps 270 degrees as a knob does, from seven to five o'clock, a
// quarter of it each voice's with a gap between.
constexpr double kSweepFrom = -0.75 * kPi, kSweep = 1.5 * kPi, kGap = 0.12;
// The pointer, at about two o'clock, from near the centre to near the rim.
constexpr double kPointerAngle = 0.35 * kPi, kPointerFrom = 16, kPointerTo = 44, kPointerHalf = 5;

double voiceFrom(int voice) { return kSweepFrom + kSweep * voice / 4 + kGap / 2; }
double voiceTo(int voice) { return kSweepFrom + kSweep * (voice + 1) / 4 - kGap / 2; }
// A point at `angle` (clockwise from twelve o'clock) and `radius` from the centre.
double xAt(double angle, double radius) { return kCentre + radius * std::sin(angle); }
double yAt(double angle, double radius) { return kCentre - radius * std::cos(angle); }

std::string hex(std::uint32_t rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(rgb));
  return text;
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

}  // namespace

gui::Surface IconArt::render(int pixels) {
  gui::Surface surface(pixels, pixels, gui::makePixel(0, 0, 0));
  Painter painter(surface, static_cast<double>(pixels) / kSide);
  const Painter::Field tile = Painter::box(kTile0, kTile0, kTile1, kTile1, kTileRadius);
  painter.fill(0, 0, kSide, kSide, tile, Painter::vertical(kTile0, Colour::hex(kTileTop), kTile1, Colour::hex(kTileBottom)));
  painter.fill(0, 0, kSide, kSide,
               Painter::subtract(tile, Painter::box(kTile0 + 2 * kEdgeHalf, kTile0 + 2 * kEdgeHalf, kTile1 - 2 * kEdgeHalf,
                                                    kTile1 - 2 * kEdgeHalf, kTileRadius - 2 * kEdgeHalf)),
               Colour::hex(kEdge));
  painter.fill(0, 0, kSide, kSide, Painter::arc(kCentre, kCentre, kRingRadius, kRingHalf, kSweepFrom, kSweepFrom + kSweep),
               Colour::hex(kTrack));
  for (int voice = 0; voice < 4; ++voice)
    painter.fill(0, 0, kSide, kSide, Painter::arc(kCentre, kCentre, kRingRadius, kRingHalf, voiceFrom(voice), voiceTo(voice)),
                 Colour::hex(kVoices[voice]));
  painter.fill(0, 0, kSide, kSide, Painter::circle(kCentre, kCentre, kKnobRadius),
               Painter::vertical(kCentre - kKnobRadius, Colour::hex(kKnobTop), kCentre + kKnobRadius, Colour::hex(kKnobBottom)));
  painter.fill(0, 0, kSide, kSide, Painter::ring(kCentre, kCentre, kKnobRadius - kRimHalf, kRimHalf), Colour::hex(kRim));
  painter.fill(0, 0, kSide, kSide,
               Painter::segment(xAt(kPointerAngle, kPointerFrom), yAt(kPointerAngle, kPointerFrom),
                                xAt(kPointerAngle, kPointerTo), yAt(kPointerAngle, kPointerTo), kPointerHalf),
               Colour::hex(kIndicator));
  // Transparent outside the tile, its edge smoothed over one pixel.
  const double scale = static_cast<double>(pixels) / kSide;
  for (int y = 0; y < pixels; ++y)
    for (int x = 0; x < pixels; ++x) {
      const double inside = 0.5 - tile((x + 0.5) / scale, (y + 0.5) / scale) * scale;
      const gui::Pixel p = surface.at(x, y);
      const auto alpha = Colour::channel(255.0 * (inside < 0 ? 0 : inside > 1 ? 1 : inside));
      surface.at(x, y) = gui::makePixel(gui::redOf(p), gui::greenOf(p), gui::blueOf(p), alpha);
    }
  return surface;
}

std::string IconArt::svg() {
  const auto arcPath = [](double from, double to) {
    const bool large = to - from > kPi;
    return "M " + number(xAt(from, kRingRadius)) + " " + number(yAt(from, kRingRadius)) + " A " + number(kRingRadius) +
           " " + number(kRingRadius) + " 0 " + (large ? "1" : "0") + " 1 " + number(xAt(to, kRingRadius)) + " " +
           number(yAt(to, kRingRadius));
  };
  const std::string side = std::to_string(kSide);
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!-- ZVX: a knob ringed with the colours of its four voices. -->\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + side + "\" height=\"" + side + "\" viewBox=\"0 0 " + side +
      " " + side + "\">\n"
      "  <defs>\n"
      "    <linearGradient id=\"tile\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" y1=\"" + number(kTile0) +
      "\" x2=\"0\" y2=\"" + number(kTile1) + "\">\n"
      "      <stop offset=\"0\" stop-color=\"" + hex(kTileTop) + "\"/>\n"
      "      <stop offset=\"1\" stop-color=\"" + hex(kTileBottom) + "\"/>\n"
      "    </linearGradient>\n"
      "    <linearGradient id=\"knob\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" y1=\"" + number(kCentre - kKnobRadius) +
      "\" x2=\"0\" y2=\"" + number(kCentre + kKnobRadius) + "\">\n"
      "      <stop offset=\"0\" stop-color=\"" + hex(kKnobTop) + "\"/>\n"
      "      <stop offset=\"1\" stop-color=\"" + hex(kKnobBottom) + "\"/>\n"
      "    </linearGradient>\n"
      "  </defs>\n";
  const double tileSide = kTile1 - kTile0;
  out += "  <rect x=\"" + number(kTile0 + kEdgeHalf) + "\" y=\"" + number(kTile0 + kEdgeHalf) + "\" width=\"" +
         number(tileSide - 2 * kEdgeHalf) + "\" height=\"" + number(tileSide - 2 * kEdgeHalf) + "\" rx=\"" +
         number(kTileRadius - kEdgeHalf) + "\" fill=\"url(#tile)\" stroke=\"" + hex(kEdge) + "\" stroke-width=\"" +
         number(2 * kEdgeHalf) + "\"/>\n";
  const auto stroke = [&](const std::string& path, std::uint32_t colour, double halfWidth) {
    return "  <path d=\"" + path + "\" fill=\"none\" stroke=\"" + hex(colour) + "\" stroke-width=\"" + number(2 * halfWidth) +
           "\" stroke-linecap=\"round\"/>\n";
  };
  out += stroke(arcPath(kSweepFrom, kSweepFrom + kSweep), kTrack, kRingHalf);
  for (int voice = 0; voice < 4; ++voice) out += stroke(arcPath(voiceFrom(voice), voiceTo(voice)), kVoices[voice], kRingHalf);
  out += "  <circle cx=\"" + number(kCentre) + "\" cy=\"" + number(kCentre) + "\" r=\"" + number(kKnobRadius - kRimHalf) +
         "\" fill=\"url(#knob)\" stroke=\"" + hex(kRim) + "\" stroke-width=\"" + number(2 * kRimHalf) + "\"/>\n";
  out += stroke("M " + number(xAt(kPointerAngle, kPointerFrom)) + " " + number(yAt(kPointerAngle, kPointerFrom)) + " L " +
                    number(xAt(kPointerAngle, kPointerTo)) + " " + number(yAt(kPointerAngle, kPointerTo)),
                kIndicator, kPointerHalf);
  out += "</svg>\n";
  return out;
}

}  // namespace zvx::data
