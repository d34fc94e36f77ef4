// Who hears about the user's edits of a control.
#pragma once

class CControl;
class CDrawContext;

class CControlListener {
 public:
  virtual ~CControlListener() = default;
  virtual void valueChanged(CDrawContext* context, CControl* control) = 0;
  virtual long controlModifierClicked(CDrawContext* /*context*/, CControl* /*control*/, long /*button*/) {
    return 0;
  }
};
