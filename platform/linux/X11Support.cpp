#include "platform/linux/X11Support.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "image/PenLine.h"

namespace zvx::platform::x11 {
namespace {

// Displays with a trap set, and the first error each caught. The handler may
// run on a host thread for the host's connection, so it reads these lock-free.
constexpr int kTrapSlots = 32;
std::array<std::atomic<Display*>, kTrapSlots> trappedDisplays{};
std::array<std::atomic<int>, kTrapSlots> trappedErrors{};
std::atomic<XErrorHandler> previousHandler{nullptr};
// Serialises installing and restoring; recursive because traps may nest.
std::recursive_mutex trapMutex;
int trapDepth = 0;

int trapHandler(Display* display, XErrorEvent* event) {
  for (int i = 0; i < kTrapSlots; ++i) {
    if (trappedDisplays[static_cast<std::size_t>(i)].load() == display) {
      int expected = 0;
      trappedErrors[static_cast<std::size_t>(i)].compare_exchange_strong(expected, event->error_code);
      return 0;
    }
  }
  XErrorHandler previous = previousHandler.load();
  if (previous && previous != &trapHandler) return previous(display, event);
  return 0;
}

}  // namespace

ErrorTrap::ErrorTrap(Display* display) : display_(display) {
  trapMutex.lock();
  for (int i = 0; i < kTrapSlots; ++i) {
    Display* expected = nullptr;
    if (trappedDisplays[static_cast<std::size_t>(i)].compare_exchange_strong(expected, display)) {
      trappedErrors[static_cast<std::size_t>(i)].store(0);
      slot_ = i;
      break;
    }
  }
  if (trapDepth++ == 0) previousHandler.store(XSetErrorHandler(&trapHandler));
}

ErrorTrap::~ErrorTrap() {
  if (display_) XSync(display_, False);
  if (--trapDepth == 0) XSetErrorHandler(previousHandler.exchange(nullptr));
  if (slot_ >= 0) trappedDisplays[static_cast<std::size_t>(slot_)].store(nullptr);
  trapMutex.unlock();
}

int ErrorTrap::sync() {
  if (display_) XSync(display_, False);
  return error();
}

int ErrorTrap::error() const { return slot_ >= 0 ? trappedErrors[static_cast<std::size_t>(slot_)].load() : 0; }

void ErrorTrap::closeDisplay() {
  if (!display_) return;
  XCloseDisplay(display_);
  display_ = nullptr;
}

// ---------------------------------------------------------------------------

ImageWriter::ImageWriter(Display* display, int screen, int width, int height)
    : display_(display), screen_(screen), width_(std::max(width, 1)), height_(std::max(height, 1)) {
  Visual* visual = DefaultVisual(display_, screen_);
  const int depth = DefaultDepth(display_, screen_);
  image_ = XCreateImage(display_, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                        static_cast<unsigned>(width_), static_cast<unsigned>(height_), 32, 0);
  if (!image_) return;
  buffer_.assign(static_cast<std::size_t>(image_->bytes_per_line) * static_cast<std::size_t>(height_), 0);
  image_->data = reinterpret_cast<char*>(buffer_.data());

  XVisualInfo info{};
  info.visualid = XVisualIDFromVisual(visual);
  int found = 0;
  XVisualInfo* infos = XGetVisualInfo(display_, VisualIDMask, &info, &found);
  const int visualClass = (infos && found > 0) ? infos->c_class : TrueColor;
  if (infos) XFree(infos);

  if (visualClass == TrueColor || visualClass == DirectColor) {
    masks_[0] = visual->red_mask;
    masks_[1] = visual->green_mask;
    masks_[2] = visual->blue_mask;
    for (int c = 0; c < 3; ++c) {
      shifts_[c] = masks_[c] ? std::countr_zero(masks_[c]) : 0;
      bits_[c] = std::popcount(masks_[c]);
    }
    constexpr bool littleEndian = std::endian::native == std::endian::little;
    const bool nativeOrder = image_->byte_order == (littleEndian ? LSBFirst : MSBFirst);
    // Our 0xAARRGGBB words are the image's pixels as they are.
    if (image_->bits_per_pixel == 32 && nativeOrder && masks_[0] == 0xFF0000 && masks_[1] == 0xFF00 &&
        masks_[2] == 0xFF)
      mode_ = Mode::Direct;
    else
      mode_ = Mode::TrueColour;
  } else {
    mode_ = Mode::Palette;
    allocatePalette();
  }
}

ImageWriter::~ImageWriter() {
  if (!allocated_.empty())
    XFreeColors(display_, DefaultColormap(display_, screen_), allocated_.data(), static_cast<int>(allocated_.size()),
                0);
  if (image_) {
    image_->data = nullptr;  // the buffer is ours
    XDestroyImage(image_);
  }
}

void ImageWriter::allocatePalette() {
  const Colormap colormap = DefaultColormap(display_, screen_);
  const unsigned long black = BlackPixel(display_, screen_), white = WhitePixel(display_, screen_);
  palette_.resize(64);
  for (int i = 0; i < 64; ++i) {
    const int r = (i >> 4) & 3, g = (i >> 2) & 3, b = i & 3;
    XColor colour{};
    colour.red = static_cast<unsigned short>(r * 65535 / 3);
    colour.green = static_cast<unsigned short>(g * 65535 / 3);
    colour.blue = static_cast<unsigned short>(b * 65535 / 3);
    colour.flags = DoRed | DoGreen | DoBlue;
    if (XAllocColor(display_, colormap, &colour)) {
      palette_[static_cast<std::size_t>(i)] = colour.pixel;
      allocated_.push_back(colour.pixel);
    } else {
      palette_[static_cast<std::size_t>(i)] = (r * 3 + g * 6 + b) >= 15 ? white : black;
    }
  }
}

unsigned long ImageWriter::pixelValue(gui::Pixel pixel) const {
  const unsigned channel[3] = {gui::redOf(pixel), gui::greenOf(pixel), gui::blueOf(pixel)};
  if (mode_ == Mode::Palette) {
    const auto level = [](unsigned c) { return (c * 3 + 127) / 255; };
    return palette_[level(channel[0]) * 16 + level(channel[1]) * 4 + level(channel[2])];
  }
  unsigned long value = 0;
  for (int c = 0; c < 3; ++c) {
    const unsigned long top = (1ul << bits_[c]) - 1;
    value |= ((channel[c] * top + 127) / 255) << shifts_[c];
  }
  return value;
}

void ImageWriter::copy(const gui::Surface& surface, const CRect& area) {
  if (!image_) return;
  CRect clip = area;
  clip.bound(CRect(0, 0, std::min(width_, surface.width()), std::min(height_, surface.height())));
  if (clip.isEmpty()) return;
  if (mode_ == Mode::Direct) {
    for (int y = clip.top; y < clip.bottom; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(
          buffer_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image_->bytes_per_line));
      const gui::Pixel* source =
          surface.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(surface.width());
      // Opaque, for visuals that carry alpha.
      for (int x = clip.left; x < clip.right; ++x) row[x] = source[x] | 0xFF000000u;
    }
    return;
  }
  for (int y = clip.top; y < clip.bottom; ++y)
    for (int x = clip.left; x < clip.right; ++x) XPutPixel(image_, x, y, pixelValue(surface.at(x, y)));
}

void ImageWriter::put(Drawable drawable, GC gc, const CRect& area) {
  if (!image_) return;
  CRect clip = area;
  clip.bound(CRect(0, 0, width_, height_));
  if (clip.isEmpty()) return;
  XPutImage(display_, drawable, gc, image_, clip.left, clip.top, clip.left, clip.top,
            static_cast<unsigned>(clip.width()), static_cast<unsigned>(clip.height()));
}

// ---------------------------------------------------------------------------

gui::Surface readWindow(Display* display, Window window) {
  XWindowAttributes attributes{};
  XImage* image = nullptr;
  {
    ErrorTrap trap(display);
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) return {};
    image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                      static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (trap.sync() != 0) {
      if (image) XDestroyImage(image);
      return {};
    }
  }
  if (!image) return {};
  gui::Surface surface(attributes.width, attributes.height);
  Visual* visual = attributes.visual;
  XVisualInfo info{};
  info.visualid = XVisualIDFromVisual(visual);
  int found = 0;
  XVisualInfo* infos = XGetVisualInfo(display, VisualIDMask, &info, &found);
  const int visualClass = (infos && found > 0) ? infos->c_class : TrueColor;
  if (infos) XFree(infos);
  if (visualClass == TrueColor || visualClass == DirectColor) {
    const unsigned long masks[3] = {visual->red_mask, visual->green_mask, visual->blue_mask};
    int shifts[3], tops[3];
    for (int c = 0; c < 3; ++c) {
      shifts[c] = masks[c] ? std::countr_zero(masks[c]) : 0;
      tops[c] = static_cast<int>((1ul << std::popcount(masks[c])) - 1);
    }
    for (int y = 0; y < attributes.height; ++y)
      for (int x = 0; x < attributes.width; ++x) {
        const unsigned long value = XGetPixel(image, x, y);
        std::uint8_t channel[3];
        for (int c = 0; c < 3; ++c) {
          const unsigned long level = (value & masks[c]) >> shifts[c];
          channel[c] = tops[c] ? static_cast<std::uint8_t>((level * 255 + static_cast<unsigned long>(tops[c]) / 2) /
                                                           static_cast<unsigned long>(tops[c]))
                               : 0;
        }
        surface.at(x, y) = gui::makePixel(channel[0], channel[1], channel[2]);
      }
  } else {
    // Colour-mapped: ask the server once per pixel value.
    std::map<unsigned long, gui::Pixel> known;
    for (int y = 0; y < attributes.height; ++y)
      for (int x = 0; x < attributes.width; ++x) {
        const unsigned long value = XGetPixel(image, x, y);
        auto hit = known.find(value);
        if (hit == known.end()) {
          XColor colour{};
          colour.pixel = value;
          XQueryColor(display, attributes.colormap, &colour);
          hit = known
                    .emplace(value, gui::makePixel(static_cast<std::uint8_t>(colour.red >> 8),
                                                   static_cast<std::uint8_t>(colour.green >> 8),
                                                   static_cast<std::uint8_t>(colour.blue >> 8)))
                    .first;
        }
        surface.at(x, y) = hit->second;
      }
  }
  XDestroyImage(image);
  return surface;
}

Atom atom(Display* display, const char* name) { return XInternAtom(display, name, False); }

// ---------------------------------------------------------------------------

void fillRect(gui::Surface& surface, const CRect& rect, gui::Pixel pixel) {
  CRect clip = rect;
  clip.bound(CRect(0, 0, surface.width(), surface.height()));
  for (int y = clip.top; y < clip.bottom; ++y)
    for (int x = clip.left; x < clip.right; ++x) surface.at(x, y) = pixel;
}

void frameRect(gui::Surface& surface, const CRect& rect, gui::Pixel pixel) {
  if (rect.isEmpty()) return;
  fillRect(surface, CRect(rect.left, rect.top, rect.right, rect.top + 1), pixel);
  fillRect(surface, CRect(rect.left, rect.bottom - 1, rect.right, rect.bottom), pixel);
  fillRect(surface, CRect(rect.left, rect.top, rect.left + 1, rect.bottom), pixel);
  fillRect(surface, CRect(rect.right - 1, rect.top, rect.right, rect.bottom), pixel);
}

void drawLine(gui::Surface& surface, CPoint from, CPoint to, gui::Pixel pixel, int width) {
  gui::walkPenLine(from.h, from.v, to.h, to.v, width, [&](int x, int y) { surface.set(x, y, pixel); });
}

void fillCircle(gui::Surface& surface, int centreX, int centreY, int radius, gui::Pixel pixel) {
  // Edge pixels get the share of them inside the circle (4x4 samples).
  for (int y = centreY - radius - 1; y <= centreY + radius + 1; ++y)
    for (int x = centreX - radius - 1; x <= centreX + radius + 1; ++x) {
      int inside = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) {
          const double px = x + (sx + 0.5) / 4.0 - centreX - 0.5, py = y + (sy + 0.5) / 4.0 - centreY - 0.5;
          inside += px * px + py * py <= static_cast<double>(radius) * radius;
        }
      if (inside) surface.blendAt(x, y, pixel, static_cast<unsigned>(inside * 255 / 16));
    }
}

int drawText(gui::Surface& surface, int x, int y, const std::string& text, const FontSpec& font, gui::Pixel pixel) {
  if (text.empty()) return 0;
  const TextImage image = renderText(text, font);
  for (int row = 0; row < image.height; ++row)
    for (int column = 0; column < image.width; ++column) {
      const unsigned coverage = image.coverage[static_cast<std::size_t>(row * image.width + column)];
      if (coverage) surface.blendAt(x + column, y + row, pixel, coverage);
    }
  return image.width;
}

int lineHeight(const FontSpec& font) {
  const TextImage image = renderText("Ag", font);
  return image.height > 0 ? image.height : font.pixelSize + font.pixelSize / 3;
}

std::string latin1ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace zvx::platform::x11
