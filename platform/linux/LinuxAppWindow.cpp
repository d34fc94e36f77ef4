#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>

#include "platform/AppWindow.h"

namespace zvx::platform {
namespace {

class X11AppWindow final : public AppWindow {
 public:
  X11AppWindow(Display* display, int width, int height, const std::string& title, const std::string& className)
      : display_(display), className_(className) {
    const int screen = DefaultScreen(display_);
    window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 0, 0, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), 0, BlackPixel(display_, screen),
                                  BlackPixel(display_, screen));
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

}  // namespace

std::unique_ptr<AppWindow> createAppWindow(int width, int height, const std::string& title,
                                           const std::string& className, std::string& error) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    const char* name = std::getenv("DISPLAY");
    error = std::string("cannot open the X display ") + (name && *name ? name : "(DISPLAY is not set)");
    return nullptr;
  }
  return std::make_unique<X11AppWindow>(display, width, height, title, className);
}

}  // namespace zvx::platform
