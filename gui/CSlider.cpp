#include "gui/CSlider.h"

#include <cstring>

#include "gui/CDrawContext.h"

CSlider::CSlider(const CRect& size, CControlListener* listener, long tag, CCoord minPos, CCoord maxPos,
                 CBitmap* handle, CBitmap* background, const CPoint& offset, long style)
    : CControl(size, listener, tag, background), minPos_(minPos), maxPos_(maxPos), handle_(handle), style_(style) {
  if (handle_) handle_->remember();
  setBackOffset(offset);
}

CSlider::~CSlider() {
  if (handle_) handle_->forget();
}

float CSlider::travelOf(float value) const {
  const bool inverted = vertical() ? (style_ & kBottom) != 0 : (style_ & kLeft) != 0;
  // Vertical positions grow downwards, so a maximum at the top inverts them.
  return vertical() != inverted ? 1.0f - value : value;
}

float CSlider::valueOf(float travel) const { return travelOf(travel); }

CRect CSlider::handleRect() const {
  const CCoord w = handle_ ? handle_->getWidth() : 0;
  const CCoord h = handle_ ? handle_->getHeight() : 0;
  const float travel = travelOf(getValue());
  const CCoord position = minPos_ + static_cast<CCoord>(travel * static_cast<float>(maxPos_ - minPos_) + 0.5f);
  if (vertical()) return CRect(size.left, position, size.left + w, position + h);
  return CRect(position, size.top, position + w, size.top + h);
}

void CSlider::draw(CDrawContext* context) {
  drawBackground(context);
  if (handle_) handle_->drawTransparent(context, handleRect());
  setDirty(false);
}

void CSlider::mouse(CDrawContext* context, CPoint& where, long buttons) {
  if (buttons == -1) buttons = currentButtons();
  if (checkDefaultValue(context, buttons)) return;
  if (!(buttons & kLButton) || maxPos_ == minPos_) return;
  beginEdit();
  const float range = static_cast<float>(maxPos_ - minPos_);
  const CCoord handleLength = vertical() ? (handle_ ? handle_->getHeight() : 0) : (handle_ ? handle_->getWidth() : 0);
  auto travelAt = [&](const CPoint& at) {
    const CCoord along = vertical() ? at.v : at.h;
    return static_cast<float>(along - minPos_ - handleLength / 2) / range;
  };
  // A click beside the handle moves it there first; then the drag is relative.
  if (!handleRect().pointInside(where)) {
    setValue(valueOf(travelAt(where)));
    bounceValue();
    if (isDirty()) notifyChange(context);
  }
  float travel = travelOf(getValue());
  CPoint last = where;
  for (;;) {
    const long held = context->getMouseButtons();
    if (!(held & kLButton)) break;
    CPoint at;
    context->getMouseLocation(at);
    float step = static_cast<float>(vertical() ? at.v - last.v : at.h - last.h) / range;
    if (held & kShift) step /= zoomFactor_;
    last = at;
    travel = std::clamp(travel + step, 0.0f, 1.0f);
    setValue(valueOf(travel));
    bounceValue();
    if (isDirty()) notifyChange(context);
  }
  endEdit();
}

bool CSlider::isTypeOf(const char* type) const { return std::strcmp(type, "CSlider") == 0 || CControl::isTypeOf(type); }
