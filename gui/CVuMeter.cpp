#include "gui/CVuMeter.h"

#include <cstring>

#include "gui/CDrawContext.h"

CVuMeter::CVuMeter(const CRect& size, CBitmap* onBitmap, CBitmap* offBitmap, int leds, long style)
    : CControl(size), onBitmap_(onBitmap), offBitmap_(offBitmap), leds_(leds > 0 ? leds : 1), style_(style) {
  if (onBitmap_) onBitmap_->remember();
  if (offBitmap_) offBitmap_->remember();
}

CVuMeter::~CVuMeter() {
  if (onBitmap_) onBitmap_->forget();
  if (offBitmap_) offBitmap_->forget();
}

int CVuMeter::litLeds() const {
  return std::clamp(static_cast<int>(getValue() * static_cast<float>(leds_) + 0.5f), 0, leds_);
}

void CVuMeter::draw(CDrawContext* context) {
  const bool vertical = (style_ & kVertical) != 0;
  const CCoord length = vertical ? size.height() : size.width();
  const CCoord lit = length * litLeds() / leds_;
  if (offBitmap_) offBitmap_->draw(context, size);
  if (onBitmap_ && lit > 0) {
    CRect part = size;
    CPoint offset(0, 0);
    if (vertical) {
      part.top = size.bottom - lit;
      offset.v = length - lit;
    } else {
      part.right = size.left + lit;
    }
    onBitmap_->draw(context, part, offset);
  }
  setDirty(false);
}

bool CVuMeter::isTypeOf(const char* type) const { return std::strcmp(type, "CVuMeter") == 0 || CControl::isTypeOf(type); }
