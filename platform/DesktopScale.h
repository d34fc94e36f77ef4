// What the desktop says about the size of things on screen, for an editor
// choosing its first scale.
#pragma once

#include <optional>

namespace zvx::platform {

// The screen's dots per inch as the desktop sets them (the X server's
// Xft.dpi resource, the system's logical dpi on Windows); nothing when it
// does not say or no display opens.
std::optional<double> desktopDpi();

}  // namespace zvx::platform
