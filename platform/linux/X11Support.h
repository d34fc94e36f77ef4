// What every X11 window of ours needs: catching X errors without leaving a
// handler of ours behind, putting surface pixels on a window whatever the
// visual, reading a window back into a surface, and painting simple shapes
// and text into a surface for menus and message boxes.
//
// Each Display* here is ours alone and used by one thread only.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/Surface.h"
#include "platform/Geometry.h"
#include "platform/Text.h"

namespace zvx::platform::x11 {

// Catches the errors of one connection while alive. Xlib's handler is global
// to the process and its default one exits on BadWindow, so ours is installed
// only for the life of a trap and the previous one is put back afterwards;
// errors of other connections (the host's) go on to that previous handler.
class ErrorTrap {
 public:
  explicit ErrorTrap(Display* display);
  ~ErrorTrap();
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

  // Waits until the server has handled every request so far; the first error
  // code caught since the trap was set (0 when none).
  int sync();
  int error() const;
  // Closes the connection while errors are still caught (its own sync may report some).
  void closeDisplay();

 private:
  Display* display_;
  int slot_ = -1;
};

// Pixels of a surface put on one drawable of a given size, converted to the
// screen's default visual. Owns the image buffer: it keeps the last pixels
// put, so exposed parts can be put again without the surface.
class ImageWriter {
 public:
  ImageWriter(Display* display, int screen, int width, int height);
  ~ImageWriter();
  ImageWriter(const ImageWriter&) = delete;
  ImageWriter& operator=(const ImageWriter&) = delete;

  bool valid() const { return image_ != nullptr; }
  int width() const { return width_; }
  int height() const { return height_; }
  // Converts `area` of `surface` into the image at the same place (clipped).
  void copy(const gui::Surface& surface, const CRect& area);
  // Puts `area` of the image on `drawable` at the same place.
  void put(Drawable drawable, GC gc, const CRect& area);

 private:
  enum class Mode { Direct, TrueColour, Palette };
  unsigned long pixelValue(gui::Pixel pixel) const;
  void allocatePalette();

  Display* display_;
  int screen_;
  int width_;
  int height_;
  XImage* image_ = nullptr;
  std::vector<std::uint8_t> buffer_;
  Mode mode_ = Mode::TrueColour;
  unsigned long masks_[3] = {0, 0, 0};
  int shifts_[3] = {0, 0, 0};
  int bits_[3] = {0, 0, 0};
  std::vector<unsigned long> palette_;  // 4x4x4 colour cube when the visual is not TrueColor
  std::vector<unsigned long> allocated_;
};

// The window's pixels as the server shows them (opaque), or an empty surface
// when they cannot be read (window not viewable, gone).
gui::Surface readWindow(Display* display, Window window);

// An interned atom.
Atom atom(Display* display, const char* name);

// Painting for menus and message boxes, clipped to the surface.
void fillRect(gui::Surface& surface, const CRect& rect, gui::Pixel pixel);
void frameRect(gui::Surface& surface, const CRect& rect, gui::Pixel pixel);
void drawLine(gui::Surface& surface, CPoint from, CPoint to, gui::Pixel pixel, int width = 1);
void fillCircle(gui::Surface& surface, int centreX, int centreY, int radius, gui::Pixel pixel);
// One line of text with its top at `y`; the text's width.
int drawText(gui::Surface& surface, int x, int y, const std::string& text, const FontSpec& font, gui::Pixel pixel);
// The height of a line of text in the font.
int lineHeight(const FontSpec& font);

// Latin-1 (our text) as UTF-8, for the window manager's _NET_WM_NAME.
std::string latin1ToUtf8(const std::string& text);

}  // namespace zvx::platform::x11
