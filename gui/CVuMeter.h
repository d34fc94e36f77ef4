// A level meter: the lit part of the on-bitmap grows with the value, in steps
// of whole LEDs, over the off-bitmap (vertical: from the bottom up).
#pragma once

#include "gui/CControl.h"

class CVuMeter : public CControl {
 public:
  enum Style { kHorizontal = 1 << 0, kVertical = 1 << 1 };

  CVuMeter(const CRect& size, CBitmap* onBitmap, CBitmap* offBitmap, int leds, long style = kVertical);
  ~CVuMeter() override;

  void draw(CDrawContext* context) override;
  bool isTypeOf(const char* type) const override;
  const char* getClassName() const override { return "CVuMeter"; }
  // LEDs lit for the current value.
  int litLeds() const;

 private:
  CBitmap* onBitmap_;
  CBitmap* offBitmap_;
  int leds_;
  long style_;
};
