#include "gui/CSplashScreen.h"

#include <cstring>

#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

CSplashScreen::CSplashScreen(const CRect& size, CControlListener* listener, long tag, CBitmap* picture,
                             const CRect& toDisplay, const CPoint& offset)
    : CControl(size, listener, tag, picture), toDisplay_(toDisplay), keepSize_(size) {
  setBackOffset(offset);
}

void CSplashScreen::draw(CDrawContext* context) {
  if (getValue() != 0.0f && getBackground()) {
    if (alpha_ == 255)
      getBackground()->draw(context, toDisplay_, getBackOffset());
    else
      getBackground()->drawAlphaBlend(context, toDisplay_, getBackOffset(), alpha_);
  }
  setDirty(false);
}

void CSplashScreen::mouse(CDrawContext* context, CPoint& /*where*/, long buttons) {
  if (buttons == -1) buttons = currentButtons();
  if (!(buttons & kLButton)) return;
  CFrame* frame = getFrame();
  if (getValue() == 0.0f) {
    setValue(1.0f);
    keepSize_ = size;
    setViewSize(toDisplay_);
    if (frame) frame->setModalView(this);
  } else {
    setValue(0.0f);
    setViewSize(keepSize_);
    if (frame) {
      frame->setModalView(nullptr);
      frame->invalidate(toDisplay_);
    }
  }
  notifyChange(context);
}

bool CSplashScreen::isTypeOf(const char* type) const {
  return std::strcmp(type, "CSplashScreen") == 0 || CControl::isTypeOf(type);
}
