// Pop-up menus on X11: override-redirect windows of our own connection with
// the pointer and keyboard grabbed, run modally until an entry is chosen or
// the menu is dismissed.
#pragma once

#include <X11/Xlib.h>

#include <functional>

#include "platform/PlatformWindow.h"

namespace zvx::platform::x11 {

// Answers true when the menu should close (e.g. the editor's window is gone).
using ForeignEventHandler = std::function<bool(XEvent&)>;

// Runs `menu` on `screen` with its top-left at root coordinates (x, below),
// or, when it would reach past `roomBelow` (the editor's bottom edge) and
// fits above, with its bottom-left at (x, above). Events of windows that are
// not the menu's go to `foreign`.
gui::MenuChoice runPopupMenu(Display* display, int screen, const gui::MenuModel& menu, int x, int below, int above,
                             int roomBelow, const ForeignEventHandler& foreign);

}  // namespace zvx::platform::x11
