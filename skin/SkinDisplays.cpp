#include "skin/SkinDisplays.h"

#include <cstring>


namespace zvx {

AutoDisplay::AutoDisplay(InstrumentControl& instrument, long link, const CRect& size, long tag, CBitmap* background,
                         long style)
    : CParamDisplay(size, background, style), instrument_(instrument), link_(link) {
  setTag(tag);
}

void AutoDisplay::draw(CDrawContext* context) {
  // At most 63 bytes of the instrument's text.
  const std::string text = instrument_.parameterDisplay(static_cast<int>(link_)).substr(0, 63);
  drawDisplay(context, text.c_str());
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
