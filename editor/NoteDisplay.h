// Shows the note the instrument follows, by the editor's note value and
// mode: "OFF" for mode 0, the note's name and octave for mode 1, "Chord" for
// any other.
#pragma once

#include <cstdint>
#include <string>

#include "gui/CControl.h"

namespace zvx {

class NoteDisplay : public CControl {
 public:
  NoteDisplay(const CRect& size, CControlListener* listener, long tag, const std::int8_t* note, const std::int32_t* mode,
              const CColor& backColour, const CColor& fontColour);

  void draw(CDrawContext* context) override;
  bool isTypeOf(const char* type) const override;
  const char* getClassName() const override { return "NoteDisplay"; }

  static std::string textFor(int note, int mode);

 private:
  const std::int8_t* note_;
  const std::int32_t* mode_;
  CColor backColour_;
  CColor fontColour_;
};

}  // namespace zvx
