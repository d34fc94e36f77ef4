#include "gui/CKnob.h"

#include <cmath>
#include <cstring>

#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kStartAngle = 1.25 * kPi;  // value 0, lower left
constexpr double kRangeAngle = 1.5 * kPi;   // clockwise to lower right
// Pixels of vertical travel for the whole range in linear mode.
constexpr float kLinearRange = 200.0f;

}  // namespace

CKnob::CKnob(const CRect& size, CControlListener* listener, long tag, CBitmap* background, CBitmap* handle,
             const CPoint& offset)
    : CControl(size, listener, tag, background), handle_(handle) {
  if (handle_) handle_->remember();
  setBackOffset(offset);
}

CKnob::~CKnob() {
  if (handle_) handle_->forget();
}

CPoint CKnob::valueToPoint(float value) const {
  const double angle = kStartAngle - static_cast<double>(value) * kRangeAngle;
  const double cx = (size.left + size.right) / 2.0;
  const double cy = (size.top + size.bottom) / 2.0;
  double radius = std::min(size.width(), size.height()) / 2.0 - inset_;
  if (handle_) radius -= std::max(handle_->getWidth(), handle_->getHeight()) / 2.0;
  return CPoint(static_cast<CCoord>(std::lround(cx + std::cos(angle) * radius)),
                static_cast<CCoord>(std::lround(cy - std::sin(angle) * radius)));
}

float CKnob::valueFromPoint(const CPoint& where) const {
  const double cx = (size.left + size.right) / 2.0;
  const double cy = (size.top + size.bottom) / 2.0;
  double angle = std::atan2(cy - where.v, where.h - cx);  // counter-clockwise from the right
  // Measured clockwise from the start angle, with the dead zone at the bottom split.
  double travel = kStartAngle - angle;
  while (travel < -0.25 * kPi) travel += 2 * kPi;
  while (travel > 1.75 * kPi) travel -= 2 * kPi;
  return static_cast<float>(std::clamp(travel / kRangeAngle, 0.0, 1.0));
}

void CKnob::draw(CDrawContext* context) {
  drawBackground(context);
  drawHandle(context);
  setDirty(false);
}

void CKnob::drawHandle(CDrawContext* context) {
  const CPoint where = valueToPoint(getValue());
  if (handle_ && handle_->isLoaded()) {
    const CCoord w = handle_->getWidth(), h = handle_->getHeight();
    handle_->drawTransparent(context, CRect(where.h - w / 2, where.v - h / 2, where.h - w / 2 + w, where.v - h / 2 + h));
    return;
  }
  const CPoint centre((size.left + size.right) / 2, (size.top + size.bottom) / 2);
  context->setFrameColor(colorHandle_);
  context->setLineWidth(2);
  context->drawLine(centre, where);
  context->setLineWidth(1);
}

void CKnob::mouse(CDrawContext* context, CPoint& where, long buttons) {
  if (buttons == -1) buttons = currentButtons();
  if (checkDefaultValue(context, buttons)) return;
  if (!(buttons & kLButton)) return;
  const long mode = getFrame() && getFrame()->getOwner() ? getFrame()->getOwner()->getKnobMode() : static_cast<long>(kCircularMode);
  beginEdit();
  const float startValue = getValue();
  const float startFromPoint = valueFromPoint(where);
  const CPoint start = where;
  for (;;) {
    const long held = context->getMouseButtons();
    if (!(held & kLButton)) break;
    CPoint at;
    context->getMouseLocation(at);
    float value = startValue;
    if (mode == kLinearMode) {
      float change = static_cast<float>(start.v - at.v) / kLinearRange;
      if (held & kShift) change /= zoomFactor_;
      value = startValue + change;
    } else if (mode == kRelativCircularMode) {
      value = startValue + (valueFromPoint(at) - startFromPoint);
    } else {
      value = valueFromPoint(at);
    }
    setValue(value);
    bounceValue();
    if (isDirty()) notifyChange(context);
  }
  endEdit();
}

bool CKnob::isTypeOf(const char* type) const { return std::strcmp(type, "CKnob") == 0 || CControl::isTypeOf(type); }

CAnimKnob::CAnimKnob(const CRect& size, CControlListener* listener, long tag, int subPixmaps, CCoord heightOfOneImage,
                     CBitmap* strip, const CPoint& offset)
    : CKnob(size, listener, tag, strip, nullptr, offset),
      subPixmaps_(subPixmaps > 0 ? subPixmaps : 1),
      heightOfOneImage_(heightOfOneImage) {}

int CAnimKnob::frameIndex() const {
  const int index = static_cast<int>(getValue() * static_cast<float>(subPixmaps_ - 1) + 0.5f);
  return std::clamp(index, 0, subPixmaps_ - 1);
}

void CAnimKnob::draw(CDrawContext* context) {
  if (CBitmap* strip = getBackground())
    strip->draw(context, size, CPoint(0, frameIndex() * heightOfOneImage_));
  setDirty(false);
}

bool CAnimKnob::isTypeOf(const char* type) const {
  return std::strcmp(type, "CAnimKnob") == 0 || CKnob::isTypeOf(type);
}
