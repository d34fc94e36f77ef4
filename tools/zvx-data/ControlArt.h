// The skin's control family, drawn frame by frame into film strips: knobs
// (one frame per value step, a value arc in the voice's colour), lit buttons,
// trigger lights and trigger pads (off and on frames). Pixels outside a
// control are pure green, the colour skins leave transparent; the edges are
// blended against the panel colour the controls stand on.
#pragma once

#include <string>

#include "image/Surface.h"
#include "tools/zvx-data/Colour.h"

namespace zvx::data {

class ControlArt {
 public:
  // The colours every control of the family shares.
  struct Look {
    Colour panel;                  // what the controls stand on
    Colour knobTop, knobBottom;    // the knob body's light and shade
    Colour rimLight, rimDark;      // its bevel
    Colour track;                  // the value arc's groove
    Colour indicator;              // the pointer
    Colour buttonTop, buttonBottom;
    Colour label, ink;             // text off and on
  };

  static constexpr gui::Pixel kTransparent = gui::makePixel(0, 255, 0);
  // Each picture is drawn `scale` times its size (2 for the "@2x" art).

  // `frames` frames of size x size stacked top to bottom, frame i showing the
  // value i / (frames - 1). The arc grows from the minimum, or from the
  // middle for controls centred on 0.5 (pan, pitch, tuning).
  static gui::Surface knob(const Look& look, int size, int frames, const Colour& accent, bool fromCentre,
                           double scale = 1.0);
  // An on/off button with its text and a small lamp: off frame, then on frame.
  static gui::Surface button(const Look& look, int width, int height, const Colour& accent, const std::string& text,
                             double scale = 1.0);
  // A round lamp: dark, then lit.
  static gui::Surface lamp(const Look& look, int size, const Colour& accent, double scale = 1.0);
  // A trigger pad: at rest, then pressed.
  static gui::Surface pad(const Look& look, int width, int height, const Colour& accent, double scale = 1.0);
};

}  // namespace zvx::data
