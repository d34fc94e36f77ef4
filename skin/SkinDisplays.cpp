#include "skin/SkinDisplays.h"

#include <cstring>

#include "host/vst/AudioEffect.h"

namespace zvx {

AutoDisplay::AutoDisplay(AudioEffect* effect, long link, const CRect& size, long tag, CBitmap* background, long style)
    : CParamDisplay(size, background, style), effect_(effect), link_(link) {
  setTag(tag);
}

void AutoDisplay::draw(CDrawContext* context) {
  char text[64] = {};
  if (effect_) effect_->getParameterDisplay(static_cast<VstInt32>(link_), text);
  text[sizeof text - 1] = 0;
  drawDisplay(context, text);
}

bool AutoDisplay::isTypeOf(const char* type) const {
  return std::strcmp(type, "AutoDisplay") == 0 || CParamDisplay::isTypeOf(type);
}

TextDisplay::TextDisplay(const CRect& size, CBitmap* background, long style) : CParamDisplay(size, background, style) {}

void TextDisplay::draw(CDrawContext* context) { drawDisplay(context, text_); }

void TextDisplay::setText(const char* text) {
  if (!text || std::strncmp(text, text_, sizeof text_) == 0) return;
  std::strncpy(text_, text, sizeof text_ - 1);
  text_[sizeof text_ - 1] = 0;
  setDirty();
}

bool TextDisplay::isTypeOf(const char* type) const {
  return std::strcmp(type, "TextDisplay") == 0 || CParamDisplay::isTypeOf(type);
}

}  // namespace zvx
