// A click area that shows a picture: the first click shows it (modally, over
// the display rectangle), the next click anywhere hides it again.
#pragma once

#include "gui/CControl.h"

class CSplashScreen : public CControl {
 public:
  CSplashScreen(const CRect& size, CControlListener* listener, long tag, CBitmap* picture, const CRect& toDisplay,
                const CPoint& offset = CPoint(0, 0));

  void draw(CDrawContext* context) override;
  void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
  bool isTypeOf(const char* type) const override;
  const char* getClassName() const override { return "CSplashScreen"; }

  // Opacity of the picture, 0 to 255.
  void setBitmapTransparency(unsigned char alpha) { alpha_ = alpha; }
  const CRect& displayRect() const { return toDisplay_; }

 private:
  CRect toDisplay_;
  CRect keepSize_;
  unsigned char alpha_ = 255;
};
