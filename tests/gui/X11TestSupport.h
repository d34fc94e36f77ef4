// What the tests in real X11 windows share: one private Xvfb for the whole
// program (DISPLAY names it, so editor windows, menus and message boxes land
// there), synthetic input from XTest, windows found by name, pixels read back,
// and a fixture that makes host windows and cleans up after them.
#pragma once

#include "image/Surface.h"
#include "tests/support/TestSupport.h"

// After our headers: Xlib defines None, Status and friends as macros.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace zvx::test {

using namespace std::chrono_literals;

// ":N" of the program's Xvfb, or empty when none runs.
std::string xvfbDisplay();
// Why the server did not start, when it did not.
std::string xvfbError();

inline void* xid(Window window) { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window)); }
inline gui::Pixel rgb(gui::Pixel p) { return p & 0x00FFFFFFu; }
// The same size and colours, alpha aside.
bool samePicture(const gui::Surface& a, const gui::Surface& b);

// Polls `done` every 5 ms until it holds (true) or `timeout` passes (false).
bool poll(const std::function<bool()>& done, std::chrono::milliseconds timeout = 3000ms);

// Synthetic input on a connection of the test's own.
class Input {
 public:
  explicit Input(Display* display) : display_(display) {}
  void moveTo(int x, int y);
  void button(unsigned button, bool down);
  void key(KeySym sym, bool down);
  void click(int x, int y, unsigned which = Button1);
  void type(KeySym sym);

 private:
  Display* display_;
};

struct Placed {
  Window window = 0;
  int x = 0, y = 0, width = 0, height = 0;
};

// Top-level windows named `name` that are on screen, bottom to top.
std::vector<Placed> windowsNamed(Display* display, const std::string& name);
std::vector<Placed> waitForWindows(Display* display, const std::string& name, std::size_t count,
                                   std::chrono::milliseconds timeout = 3000ms);

// Modal message boxes named `caption` that a thread shows while it does
// something. awaitPastBoxes: true when `done` comes by itself within
// `timeout`; either way it returns only once `done`, the boxes still holding
// the thread closed as a window manager closes them. answerBoxes: the boxes
// shown, each answered with Return once it has the focus.
bool awaitPastBoxes(Display* display, const std::string& caption, const std::function<bool()>& done,
                    std::chrono::milliseconds timeout);
void answerBoxes(Display* display, Input& input, const std::vector<Placed>& boxes);

// Runs `answer` on a thread of its own connection while `idle` (the editor's
// idle call, which runs the menu and blocks until it closes) is called from
// here; `open` is the input that opens the menu.
void answerMenu(const std::function<void()>& open, const std::function<void()>& idle,
                const std::function<void(Display*, Input&)>& answer);

class X11Test : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A host's window, mapped on screen at (x, y).
  Window makeParent(int x, int y, int width, int height);
  // Destroys a host's window behind the editor's back.
  void destroy(Window window);
  std::vector<Window> children(Window parent);
  gui::Surface read(Window window);

  Display* display_ = nullptr;
  std::unique_ptr<Input> input_;
  std::vector<Window> parents_;
};

}  // namespace zvx::test
