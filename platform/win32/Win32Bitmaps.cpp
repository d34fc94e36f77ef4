// Bitmaps on Windows: LoadImageA from the file as a DIB section, its size
// from GetObjectA, its pixels read out with GetDIBits as 32-bit rows. The size
// the file declares is read first, so that LoadImageA never decodes an image
// that would be refused.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "image/ImageLimits.h"
#include "platform/Bitmaps.h"
#include "platform/Platform.h"

namespace zvx::platform {

BitmapFile loadBitmapFile(const std::string& path, std::size_t maxPixels) {
  BitmapFile result;
  std::FILE* file = openRegularFile(path);
  if (!file) return result;
  unsigned char head[gui::kImageHeadBytes];
  const std::size_t headBytes = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  const std::optional<gui::ImageSize> declared = gui::declaredImageSize({head, headBytes});
  if (declared && !gui::imageFits(*declared, maxPixels)) {
    result.refusedSize = declared;
    return result;
  }
  HANDLE image = LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
  if (!image) return result;
  HBITMAP bitmap = static_cast<HBITMAP>(image);
  BITMAP info{};
  if (GetObjectA(bitmap, sizeof info, &info) == sizeof info) {
    const int width = info.bmWidth;
    const int height = std::abs(info.bmHeight);
    const bool sensible = width > 0 && height > 0 && gui::imageFits({width, height}, maxPixels);
    if (sensible) {
      gui::Surface pixels(width, height);
      BITMAPINFO format{};
      format.bmiHeader.biSize = sizeof format.bmiHeader;
      format.bmiHeader.biWidth = width;
      format.bmiHeader.biHeight = -height;  // rows top to bottom, as the surface keeps them
      format.bmiHeader.biPlanes = 1;
      format.bmiHeader.biBitCount = 32;
      format.bmiHeader.biCompression = BI_RGB;
      HDC screen = GetDC(nullptr);
      const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), pixels.data(), &format, DIB_RGB_COLORS);
      ReleaseDC(nullptr, screen);
      if (rows == height) {
        // GDI's fourth byte is padding: every pixel is opaque, as the file's colours.
        gui::Pixel* pixel = pixels.data();
        for (std::size_t i = 0, n = pixels.pixels().size(); i < n; ++i) pixel[i] |= 0xFF000000u;
        result.image = std::move(pixels);
      }
    }
  }
  DeleteObject(bitmap);
  return result;
}

}  // namespace zvx::platform
