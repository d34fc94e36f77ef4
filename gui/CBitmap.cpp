#include "gui/CBitmap.h"

#include "gui/CDrawContext.h"
#include "image/Resample.h"
#include "platform/Bitmaps.h"

void CBitmap::setDoubleSize(zvx::gui::Surface pixels) {
  double_ = std::move(pixels);
  scaled_.clear();
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
  if (context->scalePercent() != 100) return blitScaled(context, rect, offset, opacity, keyed);
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
      context->plot(x, y, pixel, opacity);
    }
  }
}

const zvx::gui::Surface& CBitmap::scaledArt(int percent, bool keyed) {
  for (const Scaled& made : scaled_)
    if (made.percent == percent && made.keyed == keyed) return made.pixels;
  // From the larger art when it is there and the scale is over 100 %.
  const bool fromDouble = !double_.empty() && percent > 100;
  zvx::gui::Surface source = fromDouble ? double_ : pixels_;
  const zvx::gui::Pixel key = toPixel(transparentColor_) & 0x00FFFFFFu;
  zvx::gui::Pixel* pixel = source.data();
  for (std::size_t i = 0; i < source.pixels().size(); ++i, ++pixel) {
    if (keyed && (*pixel & 0x00FFFFFFu) == key) *pixel = 0;
  }
  const int width = (pixels_.width() * percent + 99) / 100, height = (pixels_.height() * percent + 99) / 100;
  zvx::gui::Surface art = source.width() == width && source.height() == height ? std::move(source)
                                                                                 : zvx::gui::resample(source, width, height);
  scaled_.push_back({percent, keyed, std::move(art)});
  return scaled_.back().pixels;
}

// The surface pixels of `rect`, each taken from the art at the same scale.
void CBitmap::blitScaled(CDrawContext* context, const CRect& rect, const CPoint& offset, unsigned opacity, bool keyed) {
  const zvx::gui::Surface& art = scaledArt(context->scalePercent(), keyed);
  const CRect box = context->toDevice(rect);
  CRect area = box;
  area.bound(context->deviceClipRect());
  const int left = context->toDevice(offset.h), top = context->toDevice(offset.v);
  for (int y = area.top; y < area.bottom; ++y) {
    const int sy = top + (y - box.top);
    if (sy < 0 || sy >= art.height()) continue;
    for (int x = area.left; x < area.right; ++x) {
      const int sx = left + (x - box.left);
      if (sx >= 0 && sx < art.width()) context->plotDevice(x, y, art.at(sx, sy), opacity);
    }
  }
}
