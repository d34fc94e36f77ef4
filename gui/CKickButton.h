// A momentary button: 1 while pressed, back to 0 on release; the bitmap holds
// the released state above the pressed one.
#pragma once

#include "gui/CControl.h"

class CKickButton : public CControl {
 public:
  CKickButton(const CRect& size, CControlListener* listener, long tag, CCoord heightOfOneImage, CBitmap* strip,
              const CPoint& offset = CPoint(0, 0));

  void draw(CDrawContext* context) override;
  void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
  bool isTypeOf(const char* type) const override;
  const char* getClassName() const override { return "CKickButton"; }

 private:
  CCoord heightOfOneImage_;
};
