// A handle moved along a line between two positions. Style bits: kHorizontal
// or kVertical; the maximum lies at the right (kRight) or left (kLeft) of a
// horizontal slider, at the top (kTop) or bottom (kBottom) of a vertical one;
// by default at the right and at the top.
#pragma once

#include "gui/CControl.h"

class CSlider : public CControl {
 public:
  enum Style { kHorizontal = 1 << 0, kVertical = 1 << 1, kLeft = 1 << 2, kRight = 1 << 3, kTop = 1 << 4, kBottom = 1 << 5 };

  // minPos and maxPos are the handle's left (or top) edge at the two ends, in
  // frame coordinates.
  CSlider(const CRect& size, CControlListener* listener, long tag, CCoord minPos, CCoord maxPos, CBitmap* handle,
          CBitmap* background, const CPoint& offset = CPoint(0, 0), long style = kHorizontal | kRight);
  ~CSlider() override;

  void draw(CDrawContext* context) override;
  void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
  bool onWheel(CDrawContext* context, const CPoint& /*where*/, float distance) override {
    stepByWheel(context, distance);
    return true;
  }
  bool isTypeOf(const char* type) const override;
  const char* getClassName() const override { return "CSlider"; }

  // The handle's rectangle for the current value.
  CRect handleRect() const;

 private:
  bool vertical() const { return (style_ & kVertical) != 0; }
  // Value 0 to 1 as a fraction of the way from minPos to maxPos.
  float travelOf(float value) const;
  float valueOf(float travel) const;

  CCoord minPos_;
  CCoord maxPos_;
  CBitmap* handle_;
  long style_;
  float zoomFactor_ = 10.0f;
};
