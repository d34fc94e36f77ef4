#include "gui/COnOffButton.h"

#include <cstring>

#include "gui/CDrawContext.h"

COnOffButton::COnOffButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background, long /*style*/)
    : CControl(size, listener, tag, background) {}

void COnOffButton::draw(CDrawContext* context) {
  if (CBitmap* strip = getBackground()) strip->draw(context, size, CPoint(0, getValue() > 0.5f ? size.height() : 0));
  setDirty(false);
}

void COnOffButton::mouse(CDrawContext* context, CPoint& /*where*/, long buttons) {
  if (buttons == -1) buttons = currentButtons();
  if (!(buttons & kLButton)) return;
  beginEdit();
  setValue(getValue() > 0.5f ? 0.0f : 1.0f);
  notifyChange(context);
  endEdit();
}

bool COnOffButton::isTypeOf(const char* type) const {
  return std::strcmp(type, "COnOffButton") == 0 || CControl::isTypeOf(type);
}
