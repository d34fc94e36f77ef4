// A window that shows nothing: input comes from a queue that tests (or an
// offscreen host) fill, pop-up menus are answered by a chooser they set, and
// the frame's surface is the picture.
#pragma once

#include <deque>
#include <functional>

#include "platform/PlatformWindow.h"

namespace zvx::gui {

class HeadlessWindow : public PlatformWindow {
 public:
  using MenuChooser = std::function<MenuChoice(const MenuModel&, const CPoint&)>;

  void present(const Surface& surface, const CRect& area) override;
  // Waiting on an empty queue does not block: it answers false, so a tracked
  // drag ends when the queued events run out.
  bool nextEvent(InputEvent& event, bool wait) override;
  MenuChoice popupMenu(const MenuModel& menu, const CRect& anchor) override;

  void push(const InputEvent& event) { events_.push_back(event); }
  // Chooses in every pop-up menu from now on; without a chooser menus are dismissed.
  void setMenuChooser(MenuChooser chooser) { chooser_ = std::move(chooser); }

  // Shorthands for a left-button gesture.
  void click(const CPoint& where, long modifiers = 0);
  void drag(const CPoint& from, const CPoint& to, int steps = 8, long modifiers = 0);
  void wheel(const CPoint& where, float distance, long modifiers = 0);

 private:
  std::deque<InputEvent> events_;
  MenuChooser chooser_;
  CRect presented_;
};

}  // namespace zvx::gui
