// The system's message boxes for the messages nobody else takes: an X11
// window of our own on Linux (standard error when no display opens),
// MessageBoxA owned by the message's window on Windows.
#pragma once

namespace zvx::platform {

// From now on in this process. Front doors with a user interface call it
// once, before their first message.
void useMessageBoxes();

}  // namespace zvx::platform
