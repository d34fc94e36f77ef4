// Bitmaps on Linux: our own decoders, BMP as skins ship them and PNG for skin
// authors who want alpha.
#include "host/gui/image/ImageFile.h"
#include "host/platform/Bitmaps.h"

namespace zvx::platform {

gui::Surface loadBitmapFile(const std::string& path) { return gui::ImageFile::load(path); }

}  // namespace zvx::platform
