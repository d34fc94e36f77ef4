// zvx's window: the editor in a top-level window of its own, titled with the
// program (and with zvx's name when it is not plain "zvx"). The window is made
// when shown and goes when hidden, as often as a session manager asks; the
// editor is made once, before JACK plays (the instrument's audio thread hands
// the editor learned controllers), and goes after JACK has stopped. A skin the
// editor cannot be shown with is said in words before any window is made.
//
// Threads: the main thread only.
#pragma once

#include <memory>
#include <string>

#include "editor/FrameEditor.h"
#include "platform/AppWindow.h"
#include "standalone/StandaloneInstrument.h"

namespace zvx::standalone {

class StandaloneWindow {
 public:
  // `name` is zvx's JACK client name.
  StandaloneWindow(StandaloneInstrument& instrument, const std::string& name);
  ~StandaloneWindow();
  StandaloneWindow(const StandaloneWindow&) = delete;
  StandaloneWindow& operator=(const StandaloneWindow&) = delete;

  // Makes the editor from its skin, before JACK plays; false with the reason
  // when the skin cannot be used (show() gives it again).
  bool prepare(std::string& error);
  // Opens the window with the editor in it; false with the reason (no
  // display, no editor) in `error`.
  bool show(std::string& error);
  void hide();
  bool shown() const { return window_ != nullptr; }
  // Input, drawing and the title following the program; true once the user
  // closed the window (it is still shown: hide() takes it away).
  bool idle();
  // The display went away under the window: lets go of the window and the
  // editor without a call to the display (what they hold is the process's
  // to free as it ends).
  void abandon();
  // "ZVX - 005 Name", and " (NAME)" after it for a zvx named otherwise than "zvx".
  std::string title();

 private:
  StandaloneInstrument& instrument_;
  std::string name_;
  std::unique_ptr<FrameEditor> editor_;
  std::unique_ptr<platform::AppWindow> window_;
  std::string title_;
  std::string unusable_;  // why prepare() made no editor
};

}  // namespace zvx::standalone
