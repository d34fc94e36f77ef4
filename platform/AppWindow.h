// A top-level window of the desktop for a program of our own (the
// standalone instrument, zvx-view): titled, of a fixed size, closed through
// the window manager. The editor's window is made inside it, as inside a
// host's.
#pragma once

#include <memory>
#include <string>

namespace zvx::platform {

class AppWindow {
 public:
  virtual ~AppWindow() = default;
  // The window to make the editor's window in (an X11 window id).
  virtual void* nativeHandle() const = 0;
  virtual void setTitle(const std::string& title) = 0;
  // A fixed size: the window manager offers no resizing.
  virtual void resize(int width, int height) = 0;
  // Reads what the window manager sent; true once the user closed the window.
  virtual bool closed() = 0;
};

// A window on screen (mapped) of that size and title, whose class is
// `className`; null with the reason in `error` when no display opens or the
// display refuses the window (a size it cannot make).
std::unique_ptr<AppWindow> createAppWindow(int width, int height, const std::string& title,
                                           const std::string& className, std::string& error);

// What a program of our own does when a connection to the display breaks
// under it (its window killed, as xkill does, or the display server gone):
// `handler` runs on the thread that met the break, inside the call that met
// it, and must end the process without another call to the display. Null
// puts the system's default back (a message, and exit). Never for plug-ins:
// the process is their host's.
using DisplayLostHandler = void (*)();
void setDisplayLostHandler(DisplayLostHandler handler);

}  // namespace zvx::platform
