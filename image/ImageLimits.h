// The largest image the decoders accept. Skins and reference images are far
// smaller; the limits keep a few hostile header bytes from asking for gigabytes.
#pragma once

#include <cstddef>

namespace zvx::gui {

constexpr int kMaxImageSide = 16384;
// 64 Mpixels, a 256 MB surface.
constexpr std::size_t kMaxImagePixels = std::size_t{1} << 26;

}  // namespace zvx::gui
