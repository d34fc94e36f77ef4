// Message boxes on X11: a small modal window on a connection of its own,
// centred on the screen, with the caption as its title, the text and an OK
// button, drawn with our own text rendering.
#pragma once

#include "platform/Messages.h"

namespace zvx::platform::x11 {

// Blocks the calling thread until the box is dismissed by OK, Return, Escape
// or the window manager's close. False when no display can be opened (or no
// window made there): the caller reports the message another way.
bool showMessageBox(const Message& message);

}  // namespace zvx::platform::x11
