// Bitmaps on Windows: LoadImageA from the file as a DIB section, its size
// from GetObjectA, its pixels read out with GetDIBits as 32-bit rows.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdlib>

#include "host/gui/image/ImageLimits.h"
#include "host/platform/Bitmaps.h"

namespace zvx::platform {

gui::Surface loadBitmapFile(const std::string& path) {
  HANDLE image = LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
  if (!image) return {};
  HBITMAP bitmap = static_cast<HBITMAP>(image);
  gui::Surface surface;
  BITMAP info{};
  if (GetObjectA(bitmap, sizeof info, &info) == sizeof info) {
    const int width = info.bmWidth;
    const int height = std::abs(info.bmHeight);
    const bool sensible = width > 0 && height > 0 && width <= gui::kMaxImageSide && height <= gui::kMaxImageSide &&
                          static_cast<std::size_t>(width) * static_cast<std::size_t>(height) <= gui::kMaxImagePixels;
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
        surface = std::move(pixels);
      }
    }
  }
  DeleteObject(bitmap);
  return surface;
}

}  // namespace zvx::platform
