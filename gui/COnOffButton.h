// A two-state button: a bitmap with the off state above the on state.
#pragma once

#include "gui/CControl.h"

class COnOffButton : public CControl {
 public:
  // The style is accepted for skins that give one; the button has a single look.
  COnOffButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background, long style = 0);

  void draw(CDrawContext* context) override;
  void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
  bool isTypeOf(const char* type) const override;
  const char* getClassName() const override { return "COnOffButton"; }
};
