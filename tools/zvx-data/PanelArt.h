// The skin's pictures, the window's background and the about screen: panels,
// header bar, engraved dividers, recessed fields behind the text displays,
// menu boxes, the read-out's screen, captions and the ZVX wordmark. The skin
// has no element for static text, so every label is drawn here.
#pragma once

#include <cmath>

#include <array>
#include <string>
#include <vector>

#include "image/Surface.h"
#include "tools/zvx-data/Colour.h"
#include "tools/zvx-data/Painter.h"

namespace zvx::data {

class PanelArt {
 public:
  struct Look {
    Colour panelTop, panelBottom;    // raised panels
    Colour headerTop, headerBottom;  // the title bar
    Colour edgeLight, edgeDark;      // bevels and outlines
    Colour field, fieldEdge;         // recessed value fields
    Colour menuTop, menuBottom;      // menu boxes
    Colour screen, screenEdge;       // the read-out's screen
    Colour caption, ink;
  };

  // The canvas holds the picture `scale` times its size; positions are the picture's.
  PanelArt(gui::Surface& canvas, const Look& look, double scale = 1.0)
      : canvas_(canvas), painter_(canvas, scale), look_(look), scale_(scale) {}

  void gradient(const Colour& top, const Colour& bottom);
  // A fine, fixed noise of +-`amount` levels that takes the flatness off large areas.
  void grain(double amount, std::uint32_t seed);
  void header(int x, int y, int w, int h);
  // A raised panel; an accent colours its left edge and washes its left end.
  void panel(int x, int y, int w, int h, const Colour* accent, const std::vector<int>& dividers);
  void divider(int x, int y, int h);
  void valueField(int x, int y, int w, int h);
  void menuBox(int x, int y, int w, int h);
  // A menu between two arrow buttons (when the line is three heights long).
  void programLine(int x, int y, int w, int h);
  void screen(int x, int y, int w, int h);
  // Spaced capitals centred on `centre`, standing on `baseline`.
  void caption(const std::string& text, double centre, int baseline);
  void text(const std::string& text, double x, int baseline, const Painter::Font& font, const Colour& colour,
            Painter::Align align);
  // "ZVX" in graded silver over a bar of the four voice colours; `x` its left
  // end (its middle when centred), `baseline` its foot.
  void wordmark(int x, int baseline, int size, bool centred, const std::array<Colour, 4>& accents);
  // A light rounded edge round the whole picture.
  void outline();
  // A soft pool of light.
  void glow(int x, int y, int w, int h, const Colour& colour, double opacity);

 private:
  enum class Mark { Drop, Left, Right };
  void raisedBox(int x, int y, int w, int h, Mark mark);

  // The picture's size, in its own pixels.
  int width() const { return static_cast<int>(std::lround(canvas_.width() / scale_)); }
  int height() const { return static_cast<int>(std::lround(canvas_.height() / scale_)); }

  gui::Surface& canvas_;
  Painter painter_;
  Look look_;
  double scale_;
};

}  // namespace zvx::data
