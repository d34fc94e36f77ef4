// A view with a value (0 to 1 unless told otherwise), a tag that says what it
// stands for, and a listener told of every user edit. A gesture is framed by
// beginEdit and endEdit, which reach the host through the frame's editor.
#pragma once

#include "gui/CControlListener.h"
#include "gui/CView.h"

class CControl : public CView {
 public:
  CControl(const CRect& size, CControlListener* listener = nullptr, long tag = 0, CBitmap* background = nullptr);

  virtual void setValue(float value);
  float getValue() const { return value_; }
  void setMax(float max) { max_ = max; }
  void setDefaultValue(float value) { defaultValue_ = value; }
  float getDefaultValue() const { return defaultValue_; }
  // Keeps the value within min and max.
  void bounceValue();

  virtual void setTag(long tag) { tag_ = tag; }
  long getTag() const { return tag_; }
  void setListener(CControlListener* listener) { listener_ = listener; }
  CControlListener* getListener() const { return listener_; }

  virtual void beginEdit();
  virtual void endEdit();

  // A change of value since the last draw makes the control dirty too.
  bool isDirty() const override;
  void setDirty(bool dirty = true) override;

  // The wheel belongs to the control under it, which takes it whether or not
  // its kind moves with the wheel: most kinds (buttons, switches, pads) do not.
  bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
  // A control-click sets the default value as a complete gesture.
  virtual bool checkDefaultValue(CDrawContext* context, long buttons);
  bool isTypeOf(const char* type) const override;
  const char* getClassName() const override { return "CControl"; }

 protected:
  // Tells the listener of a user's change.
  void notifyChange(CDrawContext* context);
  // For continuous kinds: moves the value by `distance` notches of 1/100 of
  // its range (1/1000 with Shift held), as one whole edit.
  void stepByWheel(CDrawContext* context, float distance);

  float oldValue_ = -1.0f;

 private:
  CControlListener* listener_;
  long tag_;
  float value_ = 0.0f;
  float min_ = 0.0f;
  float max_ = 1.0f;
  float defaultValue_ = 0.5f;
};
