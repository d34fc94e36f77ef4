#include "gui/CKickButton.h"

#include <cstring>

#include "gui/CDrawContext.h"

CKickButton::CKickButton(const CRect& size, CControlListener* listener, long tag, CCoord heightOfOneImage,
                         CBitmap* strip, const CPoint& offset)
    : CControl(size, listener, tag, strip), heightOfOneImage_(heightOfOneImage) {
  setBackOffset(offset);
}

void CKickButton::draw(CDrawContext* context) {
  if (CBitmap* strip = getBackground())
    strip->draw(context, size,
                CPoint(getBackOffset().h, getBackOffset().v + (getValue() > 0.5f ? heightOfOneImage_ : 0)));
  setDirty(false);
}

// 1 on press; while held, 1 inside and 0 outside; 0 on release.
void CKickButton::mouse(CDrawContext* context, CPoint& where, long buttons) {
  if (buttons == -1) buttons = currentButtons();
  if (!(buttons & kLButton)) return;
  beginEdit();
  setValue(1.0f);
  notifyChange(context);
  for (;;) {
    const long held = context->getMouseButtons();
    if (!(held & kLButton)) break;
    CPoint at = where;
    context->getMouseLocation(at);
    const float inside = size.pointInside(at) ? 1.0f : 0.0f;
    if (inside != getValue()) {
      setValue(inside);
      notifyChange(context);
    }
  }
  if (getValue() != 0.0f) {
    setValue(0.0f);
    notifyChange(context);
  }
  endEdit();
}

bool CKickButton::isTypeOf(const char* type) const {
  return std::strcmp(type, "CKickButton") == 0 || CControl::isTypeOf(type);
}
