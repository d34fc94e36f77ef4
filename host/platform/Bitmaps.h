// Bitmap files read by the system's means: our own decoders on Linux (BMP, and
// PNG for skin authors), LoadImageA on Windows.
#pragma once

#include <string>

#include "host/gui/Surface.h"

namespace zvx::platform {

// The image, or an empty surface when the file cannot be read as one.
gui::Surface loadBitmapFile(const std::string& path);

}  // namespace zvx::platform
