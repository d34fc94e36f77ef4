// What the toolkit needs from the window that shows a frame: show pixels of
// its surface, hand over input events, and run pop-up menus. One
// implementation per platform, plus a headless one for tests and offscreen use.
#pragma once

#include <string>
#include <vector>

#include "image/Surface.h"
#include "platform/Geometry.h"

namespace zvx::gui {

struct InputEvent {
  enum Type { MouseDown, MouseUp, MouseMove, Wheel, KeyDown, KeyUp };
  Type type = MouseMove;
  CPoint where;      // frame coordinates
  long buttons = 0;  // CButton bits held after this event, modifiers included
  float wheel = 0;   // Wheel: steps, positive up
  int key = 0;       // KeyDown/KeyUp: the character, or a VST virtual key code + 256
};

// A pop-up menu as the platform shows it.
struct MenuModel {
  struct Entry {
    std::string title;  // "-" is a separator
    bool checked = false;
    bool enabled = true;
    const MenuModel* submenu = nullptr;
  };
  std::vector<Entry> entries;
  // The colours of the control that opened it, where the platform draws
  // menus itself; the platform's own look without them.
  bool coloured = false;
  Pixel background = 0;
  Pixel text = 0;
  // The editor's scale: where the platform draws menus itself, its text and
  // rows are that much larger (the outermost menu's scale holds for all).
  int scalePercent = 100;
};

// The entries chosen from the outermost menu inwards; empty when dismissed.
using MenuChoice = std::vector<int>;

class PlatformWindow {
 public:
  virtual ~PlatformWindow() = default;
  // Shows `area` (frame coordinates) of the frame's surface.
  virtual void present(const Surface& surface, const CRect& area) = 0;
  // The next input event; with `wait` it waits for one (mouse tracking),
  // else answers false at once when none is pending.
  virtual bool nextEvent(InputEvent& event, bool wait) = 0;
  // Runs a pop-up menu modally, its top-left at the bottom-left of `anchor`
  // (frame coordinates), or its bottom-left at the top-left of `anchor` when
  // there is no room for it below the editor and more above.
  virtual MenuChoice popupMenu(const MenuModel& menu, const CRect& anchor) = 0;
  // The platform's own window (an X11 window id, a window handle), for hosts
  // that embed it themselves; null for a window of no platform.
  virtual void* nativeHandle() const { return nullptr; }
};

}  // namespace zvx::gui
