#include "gui/CVerticalSwitch.h"

#include <cstring>

#include "gui/CDrawContext.h"

CVerticalSwitch::CVerticalSwitch(const CRect& size, CControlListener* listener, long tag, int subPixmaps,
                                 CCoord heightOfOneImage, int positions, CBitmap* strip, const CPoint& offset)
    : CControl(size, listener, tag, strip),
      positions_(positions > 1 ? positions : 2),
      subPixmaps_(subPixmaps > 0 ? subPixmaps : 1),
      heightOfOneImage_(heightOfOneImage) {
  setBackOffset(offset);
}

int CVerticalSwitch::position() const {
  return std::clamp(static_cast<int>(getValue() * static_cast<float>(positions_ - 1) + 0.5f), 0, positions_ - 1);
}

void CVerticalSwitch::draw(CDrawContext* context) {
  if (CBitmap* strip = getBackground()) {
    const int frame = std::min(position(), subPixmaps_ - 1);
    strip->draw(context, size, CPoint(getBackOffset().h, getBackOffset().v + frame * heightOfOneImage_));
  }
  setDirty(false);
}

int CVerticalSwitch::positionAt(const CPoint& where) const {
  const int step = std::max(1, size.height() / positions_);
  return std::clamp((where.v - size.top) / step, 0, positions_ - 1);
}

void CVerticalSwitch::mouse(CDrawContext* context, CPoint& where, long buttons) {
  if (buttons == -1) buttons = currentButtons();
  if (!(buttons & kLButton)) return;
  beginEdit();
  CPoint at = where;
  long held = buttons;
  while (held & kLButton) {
    setValue(static_cast<float>(positionAt(at)) / static_cast<float>(positions_ - 1));
    if (isDirty()) notifyChange(context);
    held = context->getMouseButtons();
    context->getMouseLocation(at);
  }
  endEdit();
}

bool CVerticalSwitch::isTypeOf(const char* type) const {
  return std::strcmp(type, "CVerticalSwitch") == 0 || CControl::isTypeOf(type);
}

int CHorizontalSwitch::positionAt(const CPoint& where) const {
  const int step = std::max(1, size.width() / positions_);
  return std::clamp((where.h - size.left) / step, 0, positions_ - 1);
}

bool CHorizontalSwitch::isTypeOf(const char* type) const {
  return std::strcmp(type, "CHorizontalSwitch") == 0 || CControl::isTypeOf(type);
}
