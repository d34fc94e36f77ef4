#include "gui/CControl.h"

#include <cstring>

#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

CControl::CControl(const CRect& size, CControlListener* listener, long tag, CBitmap* background)
    : CView(size), listener_(listener), tag_(tag) {
  if (background) setBackground(background);
}

void CControl::setValue(float value) { value_ = value; }

void CControl::bounceValue() {
  if (value_ > max_) value_ = max_;
  if (value_ < min_) value_ = min_;
}

// A control without a listener edits nothing the host knows of (a MIDI
// learn menu has tag 0 but is no parameter's control).
void CControl::beginEdit() {
  if (getFrame() && listener_) getFrame()->beginEdit(tag_);
}

void CControl::endEdit() {
  if (getFrame() && listener_) getFrame()->endEdit(tag_);
}

bool CControl::isDirty() const { return CView::isDirty() || value_ != oldValue_; }

void CControl::setDirty(bool dirty) {
  CView::setDirty(dirty);
  if (!dirty) oldValue_ = value_;
}

void CControl::notifyChange(CDrawContext* context) {
  if (listener_) listener_->valueChanged(context, this);
}

bool CControl::onWheel(CDrawContext* /*context*/, const CPoint& /*where*/, float /*distance*/) { return true; }

void CControl::stepByWheel(CDrawContext* context, float distance) {
  const bool fine = getFrame() && (getFrame()->mouseButtons() & kShift);
  const float before = value_;
  value_ += distance * (max_ - min_) * (fine ? 0.001f : 0.01f);
  bounceValue();
  if (value_ == before) return;
  beginEdit();
  notifyChange(context);
  endEdit();
}

bool CControl::checkDefaultValue(CDrawContext* context, long buttons) {
  if (!(buttons & kControl) || !(buttons & kLButton)) return false;
  beginEdit();
  value_ = defaultValue_;
  bounceValue();
  notifyChange(context);
  endEdit();
  return true;
}

bool CControl::isTypeOf(const char* type) const { return std::strcmp(type, "CControl") == 0 || CView::isTypeOf(type); }
