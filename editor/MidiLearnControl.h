// An invisible control over a parameter's control: a right click opens the
// MIDI learn menu ("MidiLearn", and "Forget CC n" when the parameter has a
// controller); every other click, drag and wheel goes to the control below.
#pragma once

#include "gui/CControl.h"
#include "instrument/InstrumentControl.h"

namespace zvx {


class MidiLearnControl : public CControl {
 public:
  static constexpr long kTagBit = 0x100000;

  // Value signals to the listener: learn, forget; at rest it is 0.
  static constexpr float kLearn = 1.0f;
  static constexpr float kForget = -1.0f;

  MidiLearnControl(CControl* covered, CControlListener* listener, InstrumentControl& instrument);

  void draw(CDrawContext* context) override;
  void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
  bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
  bool isTypeOf(const char* type) const override;
  const char* getClassName() const override { return "MidiLearnControl"; }

  long parameter() const { return getTag() - kTagBit; }

 private:
  CControl* covered_;  // owned by the frame, like this control
  InstrumentControl& instrument_;
};

}  // namespace zvx
