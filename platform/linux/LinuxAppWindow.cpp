#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>

#include "platform/AppWindow.h"
#include "platform/linux/X11Support.h"

namespace zvx::platform {
namespace {

// The largest side X11 can give a window.
constexpr int kLargestSide = 32767;

class X11AppWindow final : public AppWindow {
 public:
  X11AppWindow(Display* display, Window window, int width, int height, const std::string& title,
               const std::string& className)
      : display_(display), className_(className), window_(window) {
    X11AppWindow::setTitle(title);
    XClassHint hint{className_.data(), const_cast<char*>("ZVX")};
    XSetClassHint(display_, window_, &hint);
    deleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display_, window_, &deleteWindow_, 1);
    X11AppWindow::resize(width, height);
    XSelectInput(display_, window_, StructureNotifyMask);
    XMapWindow(display_, window_);
    // The editor opens into a window on screen, as in a host.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < giveUp) {
      XEvent event;
      if (XCheckTypedWindowEvent(display_, window_, MapNotify, &event)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  ~X11AppWindow() override {
    if (!destroyed_) XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
  }

  void* nativeHandle() const override { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window_)); }

  void setTitle(const std::string& title) override {
    XStoreName(display_, window_, title.c_str());
    XFlush(display_);
  }

  void resize(int width, int height) override {
    XSizeHints* size = XAllocSizeHints();
    if (!size) return;
    size->flags = PMinSize | PMaxSize;
    size->min_width = size->max_width = width;
    size->min_height = size->max_height = height;
    XSetWMNormalHints(display_, window_, size);
    XFree(size);
    XResizeWindow(display_, window_, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFlush(display_);
  }

  bool closed() override {
    while (XPending(display_)) {
      XEvent event;
      XNextEvent(display_, &event);
      if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow_) closed_ = true;
      if (event.type == DestroyNotify && event.xdestroywindow.window == window_) closed_ = destroyed_ = true;
    }
    return closed_;
  }

 private:
  Display* display_;
  std::string className_;
  Window window_ = 0;
  Atom deleteWindow_ = 0;
  bool closed_ = false;
  bool destroyed_ = false;
};

DisplayLostHandler displayLost = nullptr;

// Xlib ends the process when this returns, running the program's exit
// handlers while its objects are in use; so the handler ends it itself, and
// this ends it plainly should a handler return after all.
int onIoError(Display* /*display*/) {
  if (DisplayLostHandler handler = displayLost) handler();
  _exit(1);
}

}  // namespace

std::unique_ptr<AppWindow> createAppWindow(int width, int height, const std::string& title,
                                           const std::string& className, std::string& error) {
  if (width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide) {
    error = "no window of " + std::to_string(width) + " x " + std::to_string(height) + " pixels can be made";
    return nullptr;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    const char* name = std::getenv("DISPLAY");
    error = std::string("cannot open the X display ") + (name && *name ? name : "(DISPLAY is not set)");
    return nullptr;
  }
  Window window = 0;
  {
    x11::ErrorTrap trap(display);
    const int screen = DefaultScreen(display);
    window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 0, BlackPixel(display, screen),
                                 BlackPixel(display, screen));
    if (const int code = trap.sync(); code != 0) {
      char text[128] = {};
      XGetErrorText(display, code, text, sizeof text);
      error = "the X display refused a window of " + std::to_string(width) + " x " + std::to_string(height) +
              " pixels (" + text + ")";
      trap.closeDisplay();
      return nullptr;
    }
  }
  return std::make_unique<X11AppWindow>(display, window, width, height, title, className);
}

void setDisplayLostHandler(DisplayLostHandler handler) {
  displayLost = handler;
  XSetIOErrorHandler(handler ? &onIoError : nullptr);
}

}  // namespace zvx::platform
