// A control that shows text: by default its value ("%.2f"), in subclasses
// any text. Font, colours, alignment and face are its own; it draws over its
// background bitmap, or a filled rectangle unless transparent.
#pragma once

#include <string>

#include "gui/CControl.h"

enum CParamDisplayStyle {
  kShadowText = 1 << 0,
  k3DIn = 1 << 1,
  k3DOut = 1 << 2,
  kNoTextStyle = 1 << 3,
  kNoFrame = 1 << 4,
  kNoDrawStyle = 1 << 9,
};

class CParamDisplay : public CControl {
 public:
  CParamDisplay(const CRect& size, CBitmap* background = nullptr, long style = 0);

  void draw(CDrawContext* context) override;
  bool isTypeOf(const char* type) const override;
  const char* getClassName() const override { return "CParamDisplay"; }

  void setFont(CFont font);
  void setFontColor(const CColor& color);
  CColor getFontColor() const { return fontColor_; }
  void setBackColor(const CColor& color);
  CColor getBackColor() const { return backColor_; }
  void setFrameColor(const CColor& color);
  void setShadowColor(const CColor& color);
  // Marks the display dirty only when the alignment changes.
  void setHoriAlign(CHoriTxtAlign align);
  void setTxtFace(long face);

 protected:
  // The frame, background and text of the display with `text` in it.
  void drawDisplay(CDrawContext* context, const char* text);
  virtual void drawText(CDrawContext* context, const char* text);

 private:
  CFont font_ = kNormalFontSmall;
  CColor fontColor_ = kWhiteCColor;
  CColor backColor_ = kBlackCColor;
  CColor frameColor_ = kBlackCColor;
  CColor shadowColor_ = kRedCColor;
  CHoriTxtAlign align_ = kCenterText;
  long face_ = kNormalFace;
  long style_;
};
