#include "host/gui/CDrawContext.h"

#include <cstdlib>

#include "host/gui/CFrame.h"
#include "host/platform/Text.h"

using zvx::gui::Pixel;

Pixel toPixel(const CColor& color) { return zvx::gui::makePixel(color.red, color.green, color.blue); }

CDrawContext::CDrawContext(CFrame* frame, zvx::gui::Surface& surface) : frame_(frame), surface_(surface) {
  resetClipRect();
}

void CDrawContext::setClipRect(const CRect& clip) {
  clip_ = clip;
  clip_.bound(CRect(0, 0, surface_.width(), surface_.height()));
}

void CDrawContext::resetClipRect() { clip_ = CRect(0, 0, surface_.width(), surface_.height()); }

void CDrawContext::setFont(CFont font, int size, long style) {
  font_ = (font >= 0 && font < kNumStandardFonts) ? font : kNormalFont;
  fontSize_ = size > 0 ? size : kStandardFontSize[font_];
  fontStyle_ = style;
}

void CDrawContext::plot(int x, int y, Pixel pixel, unsigned opacity) {
  if (clip_.pointInside(CPoint(x, y))) surface_.blendAt(x, y, pixel, opacity);
}

// Bresenham's line, thickened into a square pen of the line width.
void CDrawContext::drawLine(const CPoint& from, const CPoint& to) {
  const Pixel pixel = toPixel(frameColor_);
  int x = from.h, y = from.v;
  const int dx = std::abs(to.h - x), dy = -std::abs(to.v - y);
  const int sx = x < to.h ? 1 : -1, sy = y < to.v ? 1 : -1;
  int error = dx + dy;
  const int half = (lineWidth_ - 1) / 2;
  for (;;) {
    for (int oy = -half; oy < lineWidth_ - half; ++oy)
      for (int ox = -half; ox < lineWidth_ - half; ++ox) plot(x + ox, y + oy, pixel);
    if (x == to.h && y == to.v) break;
    const int twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x += sx;
    }
    if (twice <= dx) {
      error += dx;
      y += sy;
    }
  }
}

void CDrawContext::lineTo(const CPoint& point) {
  drawLine(pen_, point);
  pen_ = point;
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
  CRect area = rect;
  area.bound(clip_);
  const Pixel pixel = toPixel(fillColor_);
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) surface_.at(x, y) = pixel;
}

namespace {

zvx::platform::FontSpec fontSpec(int size, long style) {
  return {size, (style & kBoldFace) != 0, (style & kItalicFace) != 0};
}

}  // namespace

int CDrawContext::getStringWidth(const char* text) const {
  return text ? zvx::platform::textWidth(text, fontSpec(fontSize_, fontStyle_)) : 0;
}

void CDrawContext::drawString(const char* text, const CRect& rect, bool opaque, CHoriTxtAlign align) {
  if (opaque) fillRect(rect);
  if (!text || !*text) return;
  const zvx::platform::TextImage image = zvx::platform::renderText(text, fontSpec(fontSize_, fontStyle_));
  if (image.width == 0) return;
  int x = rect.left;
  if (align == kCenterText) x = rect.left + (rect.width() - image.width) / 2;
  if (align == kRightText) x = rect.right - image.width;
  const int y = rect.top + (rect.height() - image.height) / 2;
  const CRect saved = clip_;
  CRect clip = rect;
  setClipRect(clip.bound(saved));
  const Pixel pixel = toPixel(fontColor_);
  for (int row = 0; row < image.height; ++row)
    for (int column = 0; column < image.width; ++column) {
      const unsigned coverage = image.coverage[static_cast<std::size_t>(row * image.width + column)];
      if (coverage) plot(x + column, y + row, pixel, coverage);
    }
  if (fontStyle_ & kUnderlineFace)
    for (int column = 0; column < image.width; ++column) plot(x + column, y + image.ascent + 1, pixel);
  clip_ = saved;
}

long CDrawContext::getMouseButtons() { return frame_ ? frame_->trackMouse() : 0; }

void CDrawContext::getMouseLocation(CPoint& point) {
  if (frame_) point = frame_->mouseLocation();
}
