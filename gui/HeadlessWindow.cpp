#include "gui/HeadlessWindow.h"

namespace zvx::gui {

void HeadlessWindow::present(const Surface& /*surface*/, const CRect& area) { presented_.unite(area); }

bool HeadlessWindow::nextEvent(InputEvent& event, bool /*wait*/) {
  if (events_.empty()) return false;
  event = events_.front();
  events_.pop_front();
  return true;
}

MenuChoice HeadlessWindow::popupMenu(const MenuModel& menu, const CRect& anchor) {
  return chooser_ ? chooser_(menu, CPoint(anchor.left, anchor.bottom)) : MenuChoice{};
}

void HeadlessWindow::click(const CPoint& where, long modifiers) {
  push({InputEvent::MouseDown, where, kLButton | modifiers});
  push({InputEvent::MouseUp, where, modifiers});
}

void HeadlessWindow::drag(const CPoint& from, const CPoint& to, int steps, long modifiers) {
  push({InputEvent::MouseDown, from, kLButton | modifiers});
  for (int i = 1; i <= steps; ++i) {
    const CPoint at(from.h + (to.h - from.h) * i / steps, from.v + (to.v - from.v) * i / steps);
    push({InputEvent::MouseMove, at, kLButton | modifiers});
  }
  push({InputEvent::MouseUp, to, modifiers});
}

void HeadlessWindow::wheel(const CPoint& where, float distance, long modifiers) {
  InputEvent event{InputEvent::Wheel, where, modifiers};
  event.wheel = distance;
  push(event);
}

}  // namespace zvx::gui
