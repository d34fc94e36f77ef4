#include "gui/CBitmap.h"

#include "gui/CDrawContext.h"
#include "platform/Bitmaps.h"

bool CBitmap::loadFromFile(const std::string& path) {
  pixels_ = zvx::platform::loadBitmapFile(path).image;
  return isLoaded();
}

void CBitmap::setTransparentColor(const CColor& color) {
  transparentColor_ = color;
  transparencyEnabled_ = true;
}

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& offset) {
  blit(context, rect, offset, 255, transparencyEnabled_);
}

void CBitmap::drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& offset) {
  blit(context, rect, offset, 255, true);
}

void CBitmap::drawAlphaBlend(CDrawContext* context, const CRect& rect, const CPoint& offset, unsigned char alpha) {
  blit(context, rect, offset, alpha, transparencyEnabled_);
}

void CBitmap::blit(CDrawContext* context, const CRect& rect, const CPoint& offset, unsigned opacity, bool keyed) {
  if (!context || pixels_.empty()) return;
  const zvx::gui::Pixel key = toPixel(transparentColor_) & 0x00FFFFFFu;
  CRect area = rect;
  area.bound(context->getClipRect());
  for (int y = area.top; y < area.bottom; ++y) {
    const int sy = offset.v + (y - rect.top);
    if (sy < 0 || sy >= pixels_.height()) continue;
    for (int x = area.left; x < area.right; ++x) {
      const int sx = offset.h + (x - rect.left);
      if (sx < 0 || sx >= pixels_.width()) continue;
      zvx::gui::Pixel pixel = pixels_.at(sx, sy);
      if (keyed && (pixel & 0x00FFFFFFu) == key) continue;
      if (noAlpha_) pixel |= 0xFF000000u;
      context->plot(x, y, pixel, opacity);
    }
  }
}
