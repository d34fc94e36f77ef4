#include "editor/NoteDisplay.h"

#include <cstdio>
#include <cstring>

#include "gui/CDrawContext.h"

namespace zvx {

NoteDisplay::NoteDisplay(const CRect& size, CControlListener* listener, long tag, const std::int8_t* note,
                         const std::int32_t* mode, const CColor& backColour, const CColor& fontColour)
    : CControl(size, listener, tag), note_(note), mode_(mode), backColour_(backColour), fontColour_(fontColour) {}

std::string NoteDisplay::textFor(int note, int mode) {
  static const char* const kNames[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
  if (mode == 0) return "OFF";
  if (mode != 1) return "Chord";
  // Truncating division, as the note value is signed: -1 is "" and octave -2.
  const int within = note % 12;
  char text[32];
  std::snprintf(text, sizeof text, "%s %d", within >= 0 ? kNames[within] : "", note / 12 - 2);
  return text;
}

void NoteDisplay::draw(CDrawContext* context) {
  const bool wasDirty = isDirty();
  setDirty(false);
  context->setFillColor(backColour_);
  if (wasDirty) context->fillRect(size);
  context->setFont(kNormalFontVerySmall, 0, 0);
  context->setFontColor(fontColour_);
  context->drawString(textFor(*note_, *mode_).c_str(), size, false, kCenterText);
}

bool NoteDisplay::isTypeOf(const char* type) const {
  return std::strcmp(type, "NoteDisplay") == 0 || CControl::isTypeOf(type);
}

}  // namespace zvx
