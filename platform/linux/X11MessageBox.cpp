#include "platform/linux/X11MessageBox.h"

namespace {
// Named before Xlib's headers define None as a macro.
constexpr zvx::platform::MessageIcon kNoIcon = zvx::platform::MessageIcon::None;
}  // namespace

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/MessageBoxes.h"
#include "platform/linux/X11Support.h"

namespace zvx::platform::x11 {
namespace {

using gui::makePixel;
using gui::Pixel;

const FontSpec kFont{13, false, false};
const FontSpec kIconFont{22, true, false};
constexpr int kMargin = 18;
constexpr int kIconSize = 34;
constexpr int kIconGap = 14;
constexpr int kMaxTextWidth = 520;
constexpr int kMinWidth = 260;
constexpr int kButtonWidth = 84;
constexpr int kButtonHeight = 28;

constexpr Pixel kBackground = makePixel(236, 236, 236);
constexpr Pixel kText = makePixel(20, 20, 20);
constexpr Pixel kButtonFace = makePixel(250, 250, 250);
constexpr Pixel kButtonPressed = makePixel(200, 205, 215);
constexpr Pixel kButtonBorder = makePixel(52, 101, 164);

// The text's lines, long ones wrapped at spaces.
std::vector<std::string> layoutLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find('\n', start);
    std::string paragraph = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!paragraph.empty() && paragraph.back() == '\r') paragraph.pop_back();
    std::string line;
    std::size_t word = 0;
    while (word <= paragraph.size()) {
      std::size_t space = paragraph.find(' ', word);
      if (space == std::string::npos) space = paragraph.size();
      const std::string piece = paragraph.substr(word, space - word);
      const std::string candidate = line.empty() ? piece : line + " " + piece;
      if (!line.empty() && textWidth(candidate, kFont) > kMaxTextWidth) {
        lines.push_back(line);
        line = piece;
      } else {
        line = candidate;
      }
      word = space + 1;
    }
    lines.push_back(line);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

class MessageBox {
 public:
  MessageBox(Display* display, const Message& message)
      : display_(display), screen_(DefaultScreen(display)), message_(message), lines_(layoutLines(message.text)) {}

  bool run() {
    if (!create()) return false;
    while (!done_) {
      {
        ErrorTrap trap(display_);
        while (!done_ && XPending(display_)) {
          XEvent event;
          XNextEvent(display_, &event);
          handle(event);
        }
      }
      if (done_) break;
      pollfd fd{ConnectionNumber(display_), POLLIN, 0};
      poll(&fd, 1, 200);
    }
    return true;
  }

  ~MessageBox() {
    ErrorTrap trap(display_);
    writer_.reset();
    if (gc_) XFreeGC(display_, gc_);
    if (window_ && !destroyed_) XDestroyWindow(display_, window_);
  }

 private:
  bool create() {
    lineHeight_ = lineHeight(kFont) + 3;
    int textWidthMax = 0;
    for (const std::string& line : lines_) textWidthMax = std::max(textWidthMax, textWidth(line, kFont));
    const int iconWidth = message_.icon == kNoIcon ? 0 : kIconSize + kIconGap;
    const int textHeight = static_cast<int>(lines_.size()) * lineHeight_;
    const int screenWidth = DisplayWidth(display_, screen_), screenHeight = DisplayHeight(display_, screen_);
    width_ = std::min(std::max(kMinWidth, 2 * kMargin + iconWidth + textWidthMax), std::max(kMinWidth, screenWidth));
    height_ = kMargin + std::max(textHeight, iconWidth ? kIconSize : 0) + 18 + kButtonHeight + kMargin;
    textLeft_ = kMargin + iconWidth;
    button_ = CRect((width_ - kButtonWidth) / 2, height_ - kMargin - kButtonHeight, (width_ + kButtonWidth) / 2,
                    height_ - kMargin);
    const int x = std::max(0, (screenWidth - width_) / 2), y = std::max(0, (screenHeight - height_) / 2);

    ErrorTrap trap(display_);
    const Window root = RootWindow(display_, screen_);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = WhitePixel(display_, screen_);
    attributes.border_pixel = 0;
    attributes.colormap = DefaultColormap(display_, screen_);
    attributes.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask;
    window_ = XCreateWindow(display_, root, x, y, static_cast<unsigned>(width_), static_cast<unsigned>(height_), 0,
                            DefaultDepth(display_, screen_), InputOutput, DefaultVisual(display_, screen_),
                            CWBackPixel | CWBorderPixel | CWColormap | CWEventMask, &attributes);

    XStoreName(display_, window_, message_.caption.c_str());
    const std::string utf8 = latin1ToUtf8(message_.caption);
    XChangeProperty(display_, window_, atom(display_, "_NET_WM_NAME"), atom(display_, "UTF8_STRING"), 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(utf8.data()),
                    static_cast<int>(utf8.size()));
    XClassHint hint{const_cast<char*>("zvx"), const_cast<char*>("ZVX")};
    XSetClassHint(display_, window_, &hint);
    deleteWindow_ = atom(display_, "WM_DELETE_WINDOW");
    XSetWMProtocols(display_, window_, &deleteWindow_, 1);
    // No owner window: transient for the whole screen, a dialog kept above.
    XSetTransientForHint(display_, window_, root);
    const Atom dialog = atom(display_, "_NET_WM_WINDOW_TYPE_DIALOG");
    XChangeProperty(display_, window_, atom(display_, "_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&dialog), 1);
    const Atom states[2] = {atom(display_, "_NET_WM_STATE_MODAL"), atom(display_, "_NET_WM_STATE_ABOVE")};
    XChangeProperty(display_, window_, atom(display_, "_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(states), 2);
    XSizeHints* size = XAllocSizeHints();
    if (size) {
      size->flags = USPosition | PPosition | PMinSize | PMaxSize;
      size->x = x;
      size->y = y;
      size->min_width = size->max_width = width_;
      size->min_height = size->max_height = height_;
      XSetWMNormalHints(display_, window_, size);
      XFree(size);
    }
    XWMHints* wm = XAllocWMHints();
    if (wm) {
      wm->flags = InputHint | StateHint;
      wm->input = True;
      wm->initial_state = NormalState;
      XSetWMHints(display_, window_, wm);
      XFree(wm);
    }
    gc_ = XCreateGC(display_, window_, 0, nullptr);
    surface_ = gui::Surface(width_, height_, kBackground);
    writer_ = std::make_unique<ImageWriter>(display_, screen_, width_, height_);
    paint();
    XMapRaised(display_, window_);
    return trap.sync() == 0;
  }

  void paintIcon() {
    const int cx = kMargin + kIconSize / 2, cy = kMargin + kIconSize / 2, r = kIconSize / 2;
    const Pixel white = makePixel(255, 255, 255);
    switch (message_.icon) {
      case MessageIcon::Error:
        fillCircle(surface_, cx, cy, r, makePixel(204, 40, 40));
        drawLine(surface_, CPoint(cx - 7, cy - 7), CPoint(cx + 7, cy + 7), white, 3);
        drawLine(surface_, CPoint(cx + 7, cy - 7), CPoint(cx - 7, cy + 7), white, 3);
        return;
      case MessageIcon::Warning:
      case MessageIcon::Information: {
        const bool warning = message_.icon == MessageIcon::Warning;
        fillCircle(surface_, cx, cy, r, warning ? makePixel(232, 160, 20) : makePixel(52, 101, 164));
        const std::string mark = warning ? "!" : "i";
        const int w = textWidth(mark, kIconFont), h = lineHeight(kIconFont);
        drawText(surface_, cx - w / 2 + 1, cy - h / 2, mark, kIconFont, white);
        return;
      }
      default:
        return;
    }
  }

  void paint() {
    fillRect(surface_, CRect(0, 0, width_, height_), kBackground);
    paintIcon();
    int y = kMargin;
    for (const std::string& line : lines_) {
      drawText(surface_, textLeft_, y, line, kFont, kText);
      y += lineHeight_;
    }
    fillRect(surface_, button_, pressed_ ? kButtonPressed : kButtonFace);
    frameRect(surface_, button_, kButtonBorder);
    CRect inner = button_;
    frameRect(surface_, inner.inset(1, 1), kButtonBorder);  // the default button
    const int w = textWidth("OK", kFont);
    drawText(surface_, button_.left + (button_.width() - w) / 2,
             button_.top + (button_.height() - lineHeight(kFont)) / 2, "OK", kFont, kText);
    writer_->copy(surface_, CRect(0, 0, width_, height_));
    writer_->put(window_, gc_, CRect(0, 0, width_, height_));
  }

  void handle(XEvent& event) {
    switch (event.type) {
      case Expose:
        writer_->put(window_, gc_,
                     CRect(event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                           event.xexpose.y + event.xexpose.height));
        break;
      case MapNotify: {
        // Keys reach us without a window manager too; BadMatch if not viewable after all.
        ErrorTrap trap(display_);
        XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        break;
      }
      case KeyPress: {
        const KeySym sym = XLookupKeysym(&event.xkey, 0);
        if (sym == XK_Return || sym == XK_KP_Enter || sym == XK_Escape || sym == XK_space) done_ = true;
        break;
      }
      case ButtonPress:
        if (event.xbutton.button == Button1 && button_.pointInside(CPoint(event.xbutton.x, event.xbutton.y))) {
          pressed_ = true;
          paint();
        }
        break;
      case ButtonRelease:
        if (event.xbutton.button == Button1 && pressed_) {
          pressed_ = false;
          if (button_.pointInside(CPoint(event.xbutton.x, event.xbutton.y)))
            done_ = true;
          else
            paint();
        }
        break;
      case ClientMessage:
        if (event.xclient.format == 32 && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow_) done_ = true;
        break;
      case DestroyNotify:
        if (event.xdestroywindow.window == window_) {
          destroyed_ = true;
          done_ = true;
        }
        break;
      default:
        break;
    }
  }

  Display* display_;
  int screen_;
  const Message& message_;
  std::vector<std::string> lines_;
  Window window_ = 0;
  GC gc_ = nullptr;
  gui::Surface surface_;
  std::unique_ptr<ImageWriter> writer_;
  Atom deleteWindow_ = 0;
  int width_ = 0;
  int height_ = 0;
  int lineHeight_ = 16;
  int textLeft_ = kMargin;
  CRect button_;
  bool pressed_ = false;
  bool done_ = false;
  bool destroyed_ = false;
};

}  // namespace

bool showMessageBox(const Message& message) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  bool shown = false;
  {
    MessageBox box(display, message);
    shown = box.run();
  }
  ErrorTrap trap(display);
  trap.closeDisplay();
  return shown;
}

}  // namespace zvx::platform::x11

namespace zvx::platform {

void useMessageBoxes() { setMessagePresenter(&x11::showMessageBox); }

}  // namespace zvx::platform
