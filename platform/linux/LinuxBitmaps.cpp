// Bitmaps on Linux: our own decoders, BMP as skins ship them and PNG for skin
// authors who want alpha.
#include <vector>

#include "image/ImageFile.h"
#include "platform/Bitmaps.h"
#include "platform/Platform.h"

namespace zvx::platform {

BitmapFile loadBitmapFile(const std::string& path, std::size_t maxPixels) {
  BitmapFile result;
  std::FILE* file = openRegularFile(path);
  if (!file) return result;
  std::vector<unsigned char> bytes;
  const bool read = gui::ImageFile::readAll(file, bytes);
  std::fclose(file);
  if (read) result.image = gui::ImageFile::decode(bytes, maxPixels, &result.refusedSize);
  return result;
}

}  // namespace zvx::platform
