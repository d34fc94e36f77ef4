// A picture redrawn at another size, for art drawn at one scale and shown at
// another: where it shrinks, each pixel is the mean of the source area it
// covers (fractions of pixels weighted); where it grows, the four nearest
// source pixels are interpolated (bilinear). Each axis is treated on its own.
// Colours are weighted by their alpha, so transparent pixels lend no colour
// to the opaque ones beside them.
#pragma once

#include "image/Surface.h"

namespace zvx::gui {

// `source` at width x height; an empty surface for an empty source or size,
// or one past a quarter of the decoders' pixel limit.
Surface resample(const Surface& source, int width, int height);

}  // namespace zvx::gui
