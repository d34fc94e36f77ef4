#include "tests/gui/X11TestSupport.h"

#include "platform/linux/X11Support.h"
#include "vsthost/XvfbServer.h"

namespace zvx::test {
namespace {

using vsthost::XvfbServer;

XvfbServer* server = nullptr;

// Windows vanish while the tests list them, and the module keeps its own copy
// of the platform's error trap: with this tolerant handler underneath from the
// start, no interleaving of the two restores Xlib's default, which ends the
// process on the first BadWindow.
int tolerateErrors(Display*, XErrorEvent*) { return 0; }

class XvfbEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    XSetErrorHandler(&tolerateErrors);
    if (!XvfbServer::installed()) return;
    // Room for the editor at twice its size.
    server_ = std::make_unique<XvfbServer>("1920x1200x24");
    if (server_->running()) setenv("DISPLAY", server_->display().c_str(), 1);
    server = server_.get();
  }
  void TearDown() override {
    server = nullptr;
    server_.reset();
  }

 private:
  std::unique_ptr<XvfbServer> server_;
};

[[maybe_unused]] testing::Environment* const environment = testing::AddGlobalTestEnvironment(new XvfbEnvironment);

}  // namespace

std::string xvfbDisplay() { return server && server->running() ? server->display() : std::string(); }
std::string xvfbError() { return server ? server->error() : "no server"; }

bool samePicture(const gui::Surface& a, const gui::Surface& b) {
  if (a.width() != b.width() || a.height() != b.height()) return false;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (rgb(a.at(x, y)) != rgb(b.at(x, y))) return false;
  return true;
}

bool poll(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto giveUp = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

void Input::moveTo(int x, int y) {
  XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
  XSync(display_, False);
}

void Input::button(unsigned button, bool down) {
  XTestFakeButtonEvent(display_, button, down, CurrentTime);
  XSync(display_, False);
}

void Input::key(KeySym sym, bool down) {
  XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, sym), down, CurrentTime);
  XSync(display_, False);
}

void Input::click(int x, int y, unsigned which) {
  moveTo(x, y);
  button(which, true);
  button(which, false);
}

void Input::type(KeySym sym) {
  key(sym, true);
  key(sym, false);
}

std::vector<Placed> windowsNamed(Display* display, const std::string& name) {
  std::vector<Placed> found;
  // Windows may go between the listing and the questions about them.
  platform::x11::ErrorTrap trap(display);
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return found;
  for (unsigned i = 0; i < count; ++i) {
    char* title = nullptr;
    if (!XFetchName(display, children[i], &title) || !title) continue;
    const bool match = name == title;
    XFree(title);
    XWindowAttributes attributes{};
    if (match && XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable)
      found.push_back({children[i], attributes.x, attributes.y, attributes.width, attributes.height});
  }
  if (children) XFree(children);
  return found;
}

std::vector<Placed> waitForWindows(Display* display, const std::string& name, std::size_t count,
                                   std::chrono::milliseconds timeout) {
  std::vector<Placed> found;
  poll([&] { return (found = windowsNamed(display, name)).size() >= count; }, timeout);
  return found;
}

bool awaitPastBoxes(Display* display, const std::string& caption, const std::function<bool()>& done,
                    std::chrono::milliseconds timeout) {
  const bool byItself = poll(done, timeout);
  while (!done()) {
    for (const Placed& box : windowsNamed(display, caption)) XDestroyWindow(display, box.window);
    XSync(display, False);
    poll(done, 100ms);
  }
  return byItself;
}

void answerBoxes(Display* display, Input& input, const std::vector<Placed>& boxes) {
  for (const Placed& box : boxes) {
    Window focus = 0;
    int revert = 0;
    poll([&] { return XGetInputFocus(display, &focus, &revert), focus == box.window; });
    input.type(XK_Return);
  }
}

void answerMenu(const std::function<void()>& open, const std::function<void()>& idle,
                const std::function<void(Display*, Input&)>& answer) {
  std::atomic<bool> finished{false};
  std::thread helper([&] {
    if (Display* display = XOpenDisplay(xvfbDisplay().c_str())) {
      Input keys(display);
      if (!waitForWindows(display, "ZVX menu", 1).empty()) {
        answer(display, keys);
        // Never leave the editor stuck in a menu.
        for (int i = 0; i < 20 && !waitForWindows(display, "ZVX menu", 1, 100ms).empty(); ++i) keys.type(XK_Escape);
      }
      XCloseDisplay(display);
    }
    finished = true;
  });
  open();
  poll([&] { return idle(), finished.load(); }, 5000ms);
  helper.join();
  idle();
}

void X11Test::SetUp() {
  if (!vsthost::XvfbServer::installed()) GTEST_SKIP() << "Xvfb is not installed";
  ASSERT_FALSE(xvfbDisplay().empty()) << xvfbError();
  display_ = XOpenDisplay(xvfbDisplay().c_str());
  ASSERT_NE(display_, nullptr);
  int event = 0, error = 0, major = 0, minor = 0;
  ASSERT_TRUE(XTestQueryExtension(display_, &event, &error, &major, &minor));
  input_ = std::make_unique<Input>(display_);
  input_->moveTo(1000, 750);  // out of every window
}

void X11Test::TearDown() {
  if (!display_) return;
  if (input_) input_->moveTo(1000, 750);
  for (Window window : parents_) XDestroyWindow(display_, window);
  XSync(display_, False);
  XCloseDisplay(display_);
}

Window X11Test::makeParent(int x, int y, int width, int height) {
  const int screen = DefaultScreen(display_);
  Window window = XCreateSimpleWindow(display_, RootWindow(display_, screen), x, y, static_cast<unsigned>(width),
                                      static_cast<unsigned>(height), 0, BlackPixel(display_, screen),
                                      WhitePixel(display_, screen));
  XMapWindow(display_, window);
  XSync(display_, False);
  parents_.push_back(window);
  return window;
}

void X11Test::destroy(Window window) {
  XDestroyWindow(display_, window);
  XSync(display_, False);
  std::erase(parents_, window);
}

std::vector<Window> X11Test::children(Window parent) {
  Window root = 0, up = 0;
  Window* list = nullptr;
  unsigned count = 0;
  std::vector<Window> result;
  if (XQueryTree(display_, parent, &root, &up, &list, &count)) result.assign(list, list + count);
  if (list) XFree(list);
  return result;
}

gui::Surface X11Test::read(Window window) {
  XSync(display_, False);
  return platform::x11::readWindow(display_, window);
}

}  // namespace zvx::test
