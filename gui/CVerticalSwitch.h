// A switch of several positions stacked top to bottom, drawn from a film strip
// (one frame per position, frames stacked vertically).
#pragma once

#include "gui/CControl.h"

class CVerticalSwitch : public CControl {
 public:
  CVerticalSwitch(const CRect& size, CControlListener* listener, long tag, int subPixmaps, CCoord heightOfOneImage,
                  int positions, CBitmap* strip, const CPoint& offset = CPoint(0, 0));

  void draw(CDrawContext* context) override;
  void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
  bool isTypeOf(const char* type) const override;
  const char* getClassName() const override { return "CVerticalSwitch"; }
  int position() const;

 protected:
  // The position under `where`, 0 to positions - 1.
  virtual int positionAt(const CPoint& where) const;
  int positions_;

 private:
  int subPixmaps_;
  CCoord heightOfOneImage_;
};

// The same, with its positions side by side, left to right.
class CHorizontalSwitch : public CVerticalSwitch {
 public:
  using CVerticalSwitch::CVerticalSwitch;
  bool isTypeOf(const char* type) const override;
  const char* getClassName() const override { return "CHorizontalSwitch"; }

 protected:
  int positionAt(const CPoint& where) const override;
};
