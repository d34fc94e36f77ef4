// Windows text: GDI draws the line white on black with grey-scale
// antialiasing into a 32-bit DIB section, and the brightness of each pixel is
// its coverage. Tahoma is on every Windows; wine maps it to a font it has.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <tuple>

#include "platform/Text.h"

namespace zvx::platform {
namespace {

constexpr const char* kFaceName = "Tahoma";
// Sizes outside this range give an empty image rather than huge allocations.
constexpr int kMinPixelSize = 1;
constexpr int kMaxPixelSize = 512;
constexpr int kMaxTextWidth = 16384;

// Bytes are Latin-1, which are the first 256 code points: no code page involved.
std::wstring widen(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  for (std::size_t i = 0; i < text.size(); ++i) wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
  return wide;
}

class GdiText {
 public:
  static GdiText& instance() {
    static GdiText engine;  // made on first use, freed when the module goes
    return engine;
  }

  TextImage render(const std::string& text, const FontSpec& font, bool withCoverage) {
    std::lock_guard<std::mutex> lock(mutex_);
    TextImage image;
    if (!dc_ || font.pixelSize < kMinPixelSize || font.pixelSize > kMaxPixelSize) return image;
    HFONT handle = fontFor(font);
    if (!handle) return image;
    SelectObject(dc_, handle);
    TEXTMETRICW metrics{};
    if (!GetTextMetricsW(dc_, &metrics)) return image;
    image.ascent = metrics.tmAscent;
    image.height = metrics.tmAscent + metrics.tmDescent;
    if (text.empty()) return image;

    const std::wstring wide = widen(text);
    SIZE extent{};
    if (!GetTextExtentPoint32W(dc_, wide.data(), static_cast<int>(wide.size()), &extent)) return image;
    int width = extent.cx;
    // A slanted or overhanging last glyph inks past its advance.
    ABC last{};
    if (GetCharABCWidthsW(dc_, wide.back(), wide.back(), &last) && last.abcC < 0) width -= last.abcC;
    width = std::clamp(width, 0, kMaxTextWidth);
    image.width = width;
    if (!withCoverage || width == 0 || image.height <= 0) return image;

    if (!scratch(width, image.height)) {
      image.width = 0;
      return image;
    }
    std::fill(bits_, bits_ + static_cast<std::size_t>(scratchWidth_) * static_cast<std::size_t>(scratchHeight_), 0u);
    SetTextColor(dc_, RGB(255, 255, 255));
    SetBkMode(dc_, TRANSPARENT);
    SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    TextOutW(dc_, 0, 0, wide.data(), static_cast<int>(wide.size()));
    GdiFlush();

    image.coverage.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < width; ++x) {
        const std::uint32_t pixel = bits_[static_cast<std::size_t>(y) * static_cast<std::size_t>(scratchWidth_) +
                                          static_cast<std::size_t>(x)];
        const std::uint8_t r = static_cast<std::uint8_t>(pixel >> 16), g = static_cast<std::uint8_t>(pixel >> 8),
                           b = static_cast<std::uint8_t>(pixel);
        image.coverage[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
            std::max({r, g, b});
      }
    return image;
  }

 private:
  GdiText() : dc_(CreateCompatibleDC(nullptr)) {}

  ~GdiText() {
    if (dc_) DeleteDC(dc_);  // before its bitmap and fonts, so neither is still selected
    if (bitmap_) DeleteObject(bitmap_);
    for (auto& [font, handle] : fonts_)
      if (handle) DeleteObject(handle);
  }

  GdiText(const GdiText&) = delete;
  GdiText& operator=(const GdiText&) = delete;

  HFONT fontFor(const FontSpec& font) {
    const auto key = std::make_tuple(font.pixelSize, font.bold, font.italic);
    auto found = fonts_.find(key);
    if (found != fonts_.end()) return found->second;
    LOGFONTA description{};
    description.lfHeight = -font.pixelSize;  // negative: the em size, as a pixel size means it
    description.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
    description.lfItalic = font.italic ? TRUE : FALSE;
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfOutPrecision = OUT_TT_PRECIS;
    description.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    // Grey levels, never ClearType's coloured fringes: one coverage per pixel.
    description.lfQuality = ANTIALIASED_QUALITY;
    description.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    lstrcpynA(description.lfFaceName, kFaceName, LF_FACESIZE);
    HFONT handle = CreateFontIndirectA(&description);
    fonts_.emplace(key, handle);
    return handle;
  }

  // A white-on-black drawing area of at least this size, selected into the DC.
  bool scratch(int width, int height) {
    if (bitmap_ && width <= scratchWidth_ && height <= scratchHeight_) return true;
    const int newWidth = std::max(width, scratchWidth_), newHeight = std::max(height, scratchHeight_);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = newWidth;
    format.bmiHeader.biHeight = -newHeight;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc_, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) return false;
    SelectObject(dc_, bitmap);
    if (bitmap_) DeleteObject(bitmap_);
    bitmap_ = bitmap;
    bits_ = static_cast<std::uint32_t*>(bits);
    scratchWidth_ = newWidth;
    scratchHeight_ = newHeight;
    return true;
  }

  std::mutex mutex_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  std::uint32_t* bits_ = nullptr;
  int scratchWidth_ = 0;
  int scratchHeight_ = 0;
  std::map<std::tuple<int, bool, bool>, HFONT> fonts_;
};

}  // namespace

TextImage renderText(const std::string& text, const FontSpec& font) {
  return GdiText::instance().render(printableText(text), font, true);
}

int textWidth(const std::string& text, const FontSpec& font) {
  return GdiText::instance().render(printableText(text), font, false).width;
}

}  // namespace zvx::platform
