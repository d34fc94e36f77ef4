// ZVX's application icon, from the skin's own palette and shapes: a graphite
// tile holding a knob whose ring is the four voices' colours (kick, snare,
// hi-hat, clap) and whose pointer is the editor's. One geometry, drawn as
// pixels by the skin's painter and written as SVG, so the two are the same
// picture.
#pragma once

#include <string>

#include "image/Surface.h"

namespace zvx::data {

class IconArt {
 public:
  // The design's side, in SVG user units.
  static constexpr int kSide = 256;
  // The icon `pixels` wide and high; outside the tile it is transparent.
  static gui::Surface render(int pixels);
  static std::string svg();
};

}  // namespace zvx::data
