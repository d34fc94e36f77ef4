#include "gui/CParamDisplay.h"

#include <cstdio>
#include <cstring>

#include "gui/CDrawContext.h"
#include "gui/FixedText.h"

CParamDisplay::CParamDisplay(const CRect& size, CBitmap* background, long style)
    : CControl(size, nullptr, 0, background), style_(style) {}

void CParamDisplay::setFont(CFont font) {
  font_ = font;
  setDirty();
}
void CParamDisplay::setFontColor(const CColor& color) {
  fontColor_ = color;
  setDirty();
}
void CParamDisplay::setBackColor(const CColor& color) {
  backColor_ = color;
  setDirty();
}
void CParamDisplay::setFrameColor(const CColor& color) {
  frameColor_ = color;
  setDirty();
}
void CParamDisplay::setShadowColor(const CColor& color) {
  shadowColor_ = color;
  setDirty();
}
void CParamDisplay::setHoriAlign(CHoriTxtAlign align) {
  if (align == align_) return;
  align_ = align;
  setDirty();
}
void CParamDisplay::setTxtFace(long face) {
  face_ = face;
  setDirty();
}
void CParamDisplay::draw(CDrawContext* context) {
  drawDisplay(context, fixedText(static_cast<double>(getValue()), 2).c_str());
}

void CParamDisplay::drawDisplay(CDrawContext* context, const char* text) {
  setDirty(false);
  if (style_ & kNoDrawStyle) return;
  if (getBackground()) {
    drawBackground(context);
  } else if (!getTransparency()) {
    context->setFillColor(backColor_);
    context->fillRect(size);
    if (!(style_ & kNoFrame)) {
      context->setFrameColor(frameColor_);
      context->drawRect(size);
    }
  }
  if (style_ & (k3DIn | k3DOut)) {
    // Light above and left, dark below and right (the other way round for 3D in).
    const CColor light = {255, 255, 255, 255}, dark = {80, 80, 80, 255};
    context->setFrameColor(style_ & k3DIn ? dark : light);
    context->drawLine(CPoint(size.left, size.bottom - 1), CPoint(size.left, size.top));
    context->drawLine(CPoint(size.left, size.top), CPoint(size.right - 1, size.top));
    context->setFrameColor(style_ & k3DIn ? light : dark);
    context->drawLine(CPoint(size.right - 1, size.top), CPoint(size.right - 1, size.bottom - 1));
    context->drawLine(CPoint(size.right - 1, size.bottom - 1), CPoint(size.left, size.bottom - 1));
  }
  if (!(style_ & kNoTextStyle)) drawText(context, text);
}

void CParamDisplay::drawText(CDrawContext* context, const char* text) {
  CRect area = size;
  area.inset(2, 0);
  context->setFont(font_, 0, face_);
  if (style_ & kShadowText) {
    CRect shadow = area;
    shadow.offset(1, 1);
    context->setFontColor(shadowColor_);
    context->drawString(text, shadow, false, align_);
  }
  context->setFontColor(fontColor_);
  context->drawString(text, area, false, align_);
}

bool CParamDisplay::isTypeOf(const char* type) const {
  return std::strcmp(type, "CParamDisplay") == 0 || CControl::isTypeOf(type);
}
