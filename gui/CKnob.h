// A rotary control: a background with a handle (a bitmap, or a drawn line)
// turning through 270 degrees clockwise from lower left (0) to lower right (1).
// Dragged circularly or, in linear mode, up and down; Shift drags finely.
#pragma once

#include "gui/CControl.h"

class CKnob : public CControl {
 public:
  CKnob(const CRect& size, CControlListener* listener, long tag, CBitmap* background, CBitmap* handle,
        const CPoint& offset = CPoint(0, 0));
  ~CKnob() override;

  void draw(CDrawContext* context) override;
  void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
  bool onWheel(CDrawContext* context, const CPoint& /*where*/, float distance) override {
    stepByWheel(context, distance);
    return true;
  }
  bool isTypeOf(const char* type) const override;
  const char* getClassName() const override { return "CKnob"; }


  // The point of the handle's centre for a value, in frame coordinates.
  CPoint valueToPoint(float value) const;
  // The value whose angle points at `where` (circular modes).
  float valueFromPoint(const CPoint& where) const;

 protected:
  virtual void drawHandle(CDrawContext* context);
  CBitmap* handle_;

 private:
  int inset_ = 3;
  CColor colorHandle_ = kWhiteCColor;
  float zoomFactor_ = 10.0f;
};

// A knob drawn as one frame of a film strip (frames stacked vertically).
class CAnimKnob : public CKnob {
 public:
  CAnimKnob(const CRect& size, CControlListener* listener, long tag, int subPixmaps, CCoord heightOfOneImage,
            CBitmap* strip, const CPoint& offset = CPoint(0, 0));

  void draw(CDrawContext* context) override;
  bool isTypeOf(const char* type) const override;
  const char* getClassName() const override { return "CAnimKnob"; }
  // The frame shown for the current value.
  int frameIndex() const;

 private:
  int subPixmaps_;
  CCoord heightOfOneImage_;
};
