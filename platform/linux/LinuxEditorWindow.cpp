// The editor window on Linux: a child X11 window of the host's window on a
// connection of its own, used only by the thread that opens, idles and
// closes the editor (Xlib without XInitThreads allows nothing else). Input is
// read when the frame asks for it, i.e. from effEditIdle; every call that may
// meet a window the host has already destroyed runs under an error trap.
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>

#include "platform/DragWait.h"
#include "platform/EditorWindow.h"
#include "platform/VirtualKeys.h"
#include "platform/linux/X11PopupMenu.h"
#include "platform/linux/X11Support.h"

namespace zvx::platform {
namespace {

using gui::InputEvent;

// clang-format off
// An X key as a VST virtual key (platform/VirtualKeys.h), 0 for none.
int virtualKey(KeySym sym) {
  if (sym >= XK_F1 && sym <= XK_F12) return kVkF1 + static_cast<int>(sym - XK_F1);
  if (sym >= XK_KP_0 && sym <= XK_KP_9) return kVkNumpad0 + static_cast<int>(sym - XK_KP_0);
  switch (sym) {
    case XK_BackSpace: return kVkBack;
    case XK_Tab: case XK_ISO_Left_Tab: return kVkTab;
    case XK_Clear: return kVkClear;
    case XK_Return: return kVkReturn;
    case XK_Pause: return kVkPause;
    case XK_Escape: return kVkEscape;
    case XK_End: case XK_KP_End: return kVkEnd;
    case XK_Home: case XK_KP_Home: return kVkHome;
    case XK_Left: case XK_KP_Left: return kVkLeft;
    case XK_Up: case XK_KP_Up: return kVkUp;
    case XK_Right: case XK_KP_Right: return kVkRight;
    case XK_Down: case XK_KP_Down: return kVkDown;
    case XK_Page_Up: case XK_KP_Page_Up: return kVkPageUp;
    case XK_Page_Down: case XK_KP_Page_Down: return kVkPageDown;
    case XK_Select: return kVkSelect;
    case XK_Print: return kVkPrint;
    case XK_KP_Enter: return kVkEnter;
    case XK_Insert: case XK_KP_Insert: return kVkInsert;
    case XK_Delete: case XK_KP_Delete: return kVkDelete;
    case XK_Help: return kVkHelp;
    case XK_KP_Multiply: return kVkMultiply;
    case XK_KP_Add: return kVkAdd;
    case XK_KP_Separator: return kVkSeparator;
    case XK_KP_Subtract: return kVkSubtract;
    case XK_KP_Decimal: return kVkDecimal;
    case XK_KP_Divide: return kVkDivide;
    case XK_Num_Lock: return kVkNumLock;
    case XK_Scroll_Lock: return kVkScroll;
    case XK_Shift_L: case XK_Shift_R: return kVkShift;
    case XK_Control_L: case XK_Control_R: return kVkControl;
    case XK_Alt_L: case XK_Alt_R: case XK_Meta_L: case XK_Meta_R: return kVkAlt;
    case XK_KP_Equal: return kVkEquals;
    default: return 0;
  }
}
// clang-format on

long modifiers(unsigned state) {
  long bits = 0;
  if (state & ShiftMask) bits |= kShift;
  if (state & ControlMask) bits |= kControl;
  if (state & Mod1Mask) bits |= kAlt;
  return bits;
}

long heldButtons(unsigned state) {
  long bits = 0;
  if (state & Button1Mask) bits |= kLButton;
  if (state & Button2Mask) bits |= kMButton;
  if (state & Button3Mask) bits |= kRButton;
  return bits;
}

long buttonBit(unsigned button) {
  switch (button) {
    case Button1:
      return kLButton;
    case Button2:
      return kMButton;
    case Button3:
      return kRButton;
    default:
      return 0;
  }
}

class X11EditorWindow final : public gui::PlatformWindow {
 public:
  X11EditorWindow(Display* display, Window window, int width, int height)
      : display_(display),
        screen_(DefaultScreen(display)),
        window_(window),
        height_(height),
        image_(std::make_unique<x11::ImageWriter>(display, screen_, width, height)) {
    x11::ErrorTrap trap(display_);
    gc_ = XCreateGC(display_, window_, 0, nullptr);
  }

  void* nativeHandle() const override { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window_)); }

  ~X11EditorWindow() override {
    ErrorTrap trap(display_);
    if (gc_) XFreeGC(display_, gc_);
    // The host may have destroyed its window, and ours with it: BadWindow is fine.
    if (alive_) XDestroyWindow(display_, window_);
    image_.reset();
    trap.closeDisplay();
  }

  void present(const gui::Surface& surface, const CRect& area) override {
    image_->copy(surface, area);
    if (!alive_) return;
    ErrorTrap trap(display_);
    image_->put(window_, gc_, area);
    noteError(trap.sync());
  }

  bool nextEvent(InputEvent& event, bool wait) override {
    if (queue_.empty()) drain();
    if (take(event)) return true;
    if (!wait) return false;
    auto slice = [this](InputEvent& next) {
      if (!alive_) return gui::WaitSlice::WindowGone;
      pollfd fd{ConnectionNumber(display_), POLLIN, 0};
      poll(&fd, 1, gui::kWaitSliceMs);
      drain();
      return take(next) ? gui::WaitSlice::Event : gui::WaitSlice::Nothing;
    };
    return gui::waitDuringDrag(event, lastButtons_, lastWhere_, slice, [this] { return buttonsHeld(); });
  }

  gui::MenuChoice popupMenu(const gui::MenuModel& menu, const CRect& anchor) override {
    if (!alive_) return {};
    int x = 0, y = 0;
    {
      ErrorTrap trap(display_);
      Window child = 0;
      XTranslateCoordinates(display_, window_, RootWindow(display_, screen_), anchor.left, anchor.top, &x, &y, &child);
      if (noteError(trap.sync())) return {};
    }
    // Frame coordinates and root coordinates differ by (x - left, y - top).
    const int toRoot = y - anchor.top;
    const x11::ForeignEventHandler foreign = [this](XEvent& event) {
      handle(event, false);
      return !alive_;
    };
    gui::MenuChoice choice =
        x11::runPopupMenu(display_, screen_, menu, x, anchor.bottom + toRoot, y, height_ + toRoot, foreign);
    // What the menu covered is shown again.
    ErrorTrap trap(display_);
    repaintExposed();
    noteError(trap.sync());
    return choice;
  }

 private:
  using ErrorTrap = x11::ErrorTrap;
  using ImageWriter = x11::ImageWriter;

  // Errors on our connection mean our window is gone (its parent was destroyed).
  bool noteError(int error) {
    if (error == BadWindow || error == BadDrawable || error == BadMatch) alive_ = false;
    return error != 0;
  }

  // Whether the server sees a mouse button down now.
  bool buttonsHeld() {
    ErrorTrap trap(display_);
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned state = 0;
    // The state is good even when the pointer is on another screen (False).
    XQueryPointer(display_, window_, &root, &child, &rootX, &rootY, &x, &y, &state);
    if (noteError(trap.sync())) return false;
    return heldButtons(state) != 0;
  }

  bool take(InputEvent& event) {
    if (queue_.empty()) return false;
    event = queue_.front();
    queue_.pop_front();
    return true;
  }

  // Reads every pending X event without blocking; exposed parts are put again once.
  void drain() {
    ErrorTrap trap(display_);
    while (XPending(display_)) {
      XEvent event;
      XNextEvent(display_, &event);
      handle(event, true);
    }
    repaintExposed();
    noteError(trap.sync());
  }

  void repaintExposed() {
    if (exposed_.isEmpty() || !alive_) return;
    image_->put(window_, gc_, exposed_);
    exposed_ = CRect();
  }

  void push(const InputEvent& event) {
    lastWhere_ = event.where;
    lastButtons_ = event.buttons;
    // Only the latest of consecutive moves matters.
    if (event.type == InputEvent::MouseMove && !queue_.empty() && queue_.back().type == InputEvent::MouseMove)
      queue_.back() = event;
    else
      queue_.push_back(event);
  }

  void handle(XEvent& event, bool withInput) {
    if (event.xany.window != window_) return;
    switch (event.type) {
      case Expose:
        exposed_.unite(CRect(event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                             event.xexpose.y + event.xexpose.height));
        return;
      case DestroyNotify:
        if (event.xdestroywindow.window == window_) alive_ = false;
        return;
      default:
        break;
    }
    if (!withInput) return;
    switch (event.type) {
      case ButtonPress:
      case ButtonRelease: {
        const XButtonEvent& b = event.xbutton;
        const CPoint where(b.x, b.y);
        const long mods = modifiers(b.state);
        long held = heldButtons(b.state);
        if (b.button == Button4 || b.button == Button5) {
          if (event.type == ButtonRelease) return;
          InputEvent wheel{InputEvent::Wheel, where, held | mods};
          wheel.wheel = b.button == Button4 ? 1.0f : -1.0f;
          push(wheel);
          return;
        }
        const long bit = buttonBit(b.button);
        if (!bit) return;
        if (event.type == ButtonPress) {
          held |= bit;
          push({InputEvent::MouseDown, where, held | mods});
        } else {
          held &= ~bit;
          push({InputEvent::MouseUp, where, held | mods});
        }
        return;
      }
      case MotionNotify: {
        const XMotionEvent& m = event.xmotion;
        push({InputEvent::MouseMove, CPoint(m.x, m.y), heldButtons(m.state) | modifiers(m.state)});
        return;
      }
      case EnterNotify:
      case LeaveNotify: {
        const XCrossingEvent& c = event.xcrossing;
        if (c.mode != NotifyNormal) return;
        push({InputEvent::MouseMove, CPoint(c.x, c.y), heldButtons(c.state) | modifiers(c.state)});
        return;
      }
      case KeyPress:
      case KeyRelease: {
        XKeyEvent& k = event.xkey;
        char text[8] = {};
        KeySym sym = NoSymbol;
        const int length = XLookupString(&k, text, sizeof text, &sym, nullptr);
        int key = virtualKey(sym);
        if (key)
          key += 256;
        else if (length == 1)
          key = static_cast<unsigned char>(text[0]);
        if (!key) return;
        InputEvent keyEvent{event.type == KeyPress ? InputEvent::KeyDown : InputEvent::KeyUp, CPoint(k.x, k.y),
                            heldButtons(k.state) | modifiers(k.state)};
        keyEvent.key = key;
        queue_.push_back(keyEvent);
        return;
      }
      default:
        return;
    }
  }

  Display* display_;
  int screen_;
  Window window_;
  int height_;  // of the editor: menus that would pass its bottom open upward
  GC gc_ = nullptr;
  std::unique_ptr<ImageWriter> image_;
  bool alive_ = true;
  std::deque<InputEvent> queue_;
  CRect exposed_;
  CPoint lastWhere_;
  long lastButtons_ = 0;
};

}  // namespace

std::unique_ptr<gui::PlatformWindow> createEditorWindow(void* parent, int width, int height) {
  if (!parent || width <= 0 || height <= 0) return nullptr;
  // Never the host's connection: ours is used by this thread only.
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  const Window parentWindow = static_cast<Window>(reinterpret_cast<std::uintptr_t>(parent));
  const int screen = DefaultScreen(display);
  Window window = 0;
  {
    x11::ErrorTrap trap(display);
    XSetWindowAttributes attributes{};
    // No background: the server leaves our pixels alone until we put new ones.
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    attributes.colormap = DefaultColormap(display, screen);
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                            KeyReleaseMask | StructureNotifyMask | EnterWindowMask | LeaveWindowMask;
    window = XCreateWindow(display, parentWindow, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                           DefaultDepth(display, screen), InputOutput, DefaultVisual(display, screen),
                           CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attributes);
    XClassHint hint{const_cast<char*>("zvx"), const_cast<char*>("ZVX")};
    XSetClassHint(display, window, &hint);
    XMapWindow(display, window);
    // A parent that does not exist (yet, or any more) gives BadWindow: run headless.
    if (trap.sync() != 0) {
      trap.closeDisplay();
      return nullptr;
    }
  }
  return std::make_unique<X11EditorWindow>(display, window, width, height);
}

}  // namespace zvx::platform
