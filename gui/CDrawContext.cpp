#include "gui/CDrawContext.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gui/CFrame.h"
#include "image/PenLine.h"
#include "platform/Text.h"

using zvx::gui::Pixel;

Pixel toPixel(const CColor& color) { return zvx::gui::makePixel(color.red, color.green, color.blue); }

CDrawContext::CDrawContext(CFrame* frame, zvx::gui::Surface& surface, int percent)
    : frame_(frame), surface_(surface), percent_(std::clamp(percent, 25, 400)) {
  resetClipRect();
}

namespace {

// Floor division, so that negative coordinates map as positive ones do.
long long floorDivide(long long value, long long by) { return value >= 0 ? value / by : -((-value + by - 1) / by); }

}  // namespace

int toDeviceCoordinate(CCoord x, int percent) { return static_cast<int>(floorDivide(static_cast<long long>(x) * percent, 100)); }

CCoord toFrameCoordinate(int x, int percent) {
  return static_cast<CCoord>(floorDivide(static_cast<long long>(x) * 100, percent));
}

int CDrawContext::toDevice(CCoord x) const { return toDeviceCoordinate(x, percent_); }

CRect CDrawContext::toDevice(const CRect& rect) const {
  return CRect(toDevice(rect.left), toDevice(rect.top), toDevice(rect.right), toDevice(rect.bottom));
}

int CDrawContext::scaled(int size) const { return std::max(1, (size * percent_ + 50) / 100); }

void CDrawContext::setClipRect(const CRect& clip) {
  // The frame's extent: every surface pixel belongs to a frame pixel.
  const CRect frameArea(0, 0, (surface_.width() * 100 + percent_ - 1) / percent_,
                        (surface_.height() * 100 + percent_ - 1) / percent_);
  clip_ = clip;
  clip_.bound(frameArea);
  deviceClip_ = toDevice(clip_);
  deviceClip_.bound(CRect(0, 0, surface_.width(), surface_.height()));
}

void CDrawContext::resetClipRect() { setClipRect(CRect(0, 0, 1 << 24, 1 << 24)); }

void CDrawContext::setFont(CFont font, int size, long style) {
  font_ = (font >= 0 && font < kNumStandardFonts) ? font : kNormalFont;
  fontSize_ = size > 0 ? size : kStandardFontSize[font_];
  fontStyle_ = style;
}

void CDrawContext::plotDevice(int x, int y, Pixel pixel, unsigned opacity) {
  if (deviceClip_.pointInside(CPoint(x, y))) surface_.blendAt(x, y, pixel, opacity);
}

void CDrawContext::plot(int x, int y, Pixel pixel, unsigned opacity) {
  if (!clip_.pointInside(CPoint(x, y))) return;
  for (int dy = toDevice(y); dy < toDevice(y + 1); ++dy)
    for (int dx = toDevice(x); dx < toDevice(x + 1); ++dx) plotDevice(dx, dy, pixel, opacity);
}

namespace {

// The part of the segment a-b inside `area` (Liang-Barsky), rounded to whole
// pixels; false when none is.
bool clipSegment(const CRect& area, CPoint& a, CPoint& b) {
  const double x0 = a.h, y0 = a.v, dx = static_cast<double>(b.h) - a.h, dy = static_cast<double>(b.v) - a.v;
  double enter = 0.0, leave = 1.0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0 - area.left, area.right - 1 - x0, y0 - area.top, area.bottom - 1 - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0) {
      if (q[i] < 0.0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0.0)
      enter = std::max(enter, t);
    else
      leave = std::min(leave, t);
  }
  if (enter > leave) return false;
  a = CPoint(static_cast<CCoord>(std::lround(x0 + enter * dx)), static_cast<CCoord>(std::lround(y0 + enter * dy)));
  b = CPoint(static_cast<CCoord>(std::lround(x0 + leave * dx)), static_cast<CCoord>(std::lround(y0 + leave * dy)));
  return true;
}

}  // namespace

// Bresenham's line, thickened into a square pen of the line width. Only the
// part that can touch the clip area is walked (in 64-bit steps), so a line
// two billion pixels long costs no more than one across the window.
// At another scale the line is walked in surface pixels, its pen as wide as
// the line width scaled.
void CDrawContext::drawLine(const CPoint& fromPoint, const CPoint& toPoint) {
  const Pixel pixel = toPixel(frameColor_);
  const int width = scaled(lineWidth_);
  CRect reach = deviceClip_;
  reach.left -= width, reach.top -= width, reach.right += width, reach.bottom += width;
  CPoint from(toDevice(fromPoint.h), toDevice(fromPoint.v)), to(toDevice(toPoint.h), toDevice(toPoint.v));
  if (!(reach.pointInside(from) && reach.pointInside(to)) && !clipSegment(reach, from, to)) return;
  zvx::gui::walkPenLine(from.h, from.v, to.h, to.v, width, [&](int x, int y) { plotDevice(x, y, pixel); });
}

void CDrawContext::drawRect(const CRect& rect) {
  if (rect.isEmpty()) return;
  const CPoint topLeft(rect.left, rect.top), topRight(rect.right - 1, rect.top);
  const CPoint bottomLeft(rect.left, rect.bottom - 1), bottomRight(rect.right - 1, rect.bottom - 1);
  drawLine(topLeft, topRight);
  drawLine(topRight, bottomRight);
  drawLine(bottomRight, bottomLeft);
  drawLine(bottomLeft, topLeft);
}

void CDrawContext::fillRect(const CRect& rect) {
  CRect area = toDevice(rect);
  area.bound(deviceClip_);
  const Pixel pixel = toPixel(fillColor_);
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) surface_.at(x, y) = pixel;
}

namespace {

zvx::platform::FontSpec fontSpec(int size, long style) {
  return {size, (style & kBoldFace) != 0, (style & kItalicFace) != 0};
}

}  // namespace

// Only what can show is rendered: no glyph is narrower than a pixel, so a
// text with more characters than its box has pixels shows its start, from
// the box's left edge; the rest is never laid out. The text is rendered at
// the scaled size, not scaled as pixels.
void CDrawContext::drawString(const char* text, const CRect& rect, bool opaque, CHoriTxtAlign align) {
  if (opaque) fillRect(rect);
  if (!text || !*text) return;
  CRect visible = rect;
  if (visible.bound(clip_).isEmpty()) return;
  const CRect box = toDevice(rect);
  const std::size_t room = static_cast<std::size_t>(std::max(box.width(), 1));
  const std::size_t length = strnlen(text, room + 1);
  if (length > room) align = kLeftText;
  const zvx::platform::TextImage image = zvx::platform::renderText(
      std::string(text, std::min(length, room)), fontSpec(scaled(fontSize_), fontStyle_));
  if (image.width == 0) return;
  int x = box.left;
  if (align == kCenterText) x = box.left + (box.width() - image.width) / 2;
  if (align == kRightText) x = box.right - image.width;
  const int y = box.top + (box.height() - image.height) / 2;
  const CRect saved = deviceClip_;
  CRect clip = box;
  deviceClip_ = clip.bound(saved);
  const Pixel pixel = toPixel(fontColor_);
  for (int row = 0; row < image.height; ++row)
    for (int column = 0; column < image.width; ++column) {
      const unsigned coverage =
          image.coverage[static_cast<std::size_t>(row) * static_cast<std::size_t>(image.width) + column];
      if (coverage) plotDevice(x + column, y + row, pixel, coverage);
    }
  if (fontStyle_ & kUnderlineFace)
    for (int thickness = 0; thickness < scaled(1); ++thickness)
      for (int column = 0; column < image.width; ++column)
        plotDevice(x + column, y + image.ascent + scaled(1) + thickness, pixel);
  deviceClip_ = saved;
}

long CDrawContext::getMouseButtons() { return frame_ ? frame_->trackMouse() : 0; }

void CDrawContext::getMouseLocation(CPoint& point) {
  if (frame_) point = frame_->mouseLocation();
}
