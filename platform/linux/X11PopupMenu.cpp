#include "platform/linux/X11PopupMenu.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/linux/X11Support.h"

namespace zvx::platform::x11 {
namespace {

using gui::makePixel;
using gui::MenuChoice;
using gui::MenuModel;
using gui::Pixel;

// At 100 %; every length but the border's scales with the editor.
constexpr int kFontSize = 12;
constexpr int kBorder = 1;
constexpr int kLeftMargin = 22;   // room for the check mark
constexpr int kRightMargin = 22;  // room for the sub-menu arrow
constexpr int kSeparatorHeight = 7;
constexpr int kMinWidth = 90;

// The colours of one menu: the platform's light look, or the skin's.
struct Palette {
  Pixel background = makePixel(244, 244, 244);
  Pixel border = makePixel(110, 110, 110);
  Pixel text = makePixel(20, 20, 20);
  Pixel disabledText = makePixel(150, 150, 150);
  Pixel highlight = makePixel(52, 101, 164);
  Pixel highlightText = makePixel(255, 255, 255);
  Pixel separator = makePixel(200, 200, 200);
};

// `a` towards `b` by `amount` (0 to 1), channel by channel.
Pixel mix(Pixel a, Pixel b, double amount) {
  auto channel = [&](int shift) {
    const double from = (a >> shift) & 0xFF, to = (b >> shift) & 0xFF;
    return static_cast<std::uint8_t>(from + (to - from) * amount + 0.5);
  };
  return makePixel(channel(16), channel(8), channel(0));
}

// A skin's menu: its background and font colour, the rest mixed from them.
Palette paletteOf(const MenuModel& model) {
  Palette palette;
  if (!model.coloured) return palette;
  palette.background = model.background | 0xFF000000u;
  palette.text = model.text | 0xFF000000u;
  palette.border = mix(palette.background, palette.text, 0.35);
  palette.disabledText = mix(palette.background, palette.text, 0.45);
  palette.highlight = mix(palette.background, palette.text, 0.25);
  palette.highlightText = mix(palette.text, makePixel(255, 255, 255), 0.5);
  palette.separator = mix(palette.background, palette.text, 0.2);
  return palette;
}

// Without a grab we never hear of clicks elsewhere: a menu nobody touches
// for this long closes rather than freeze the host.
constexpr auto kUngrabbedTimeout = std::chrono::seconds(30);

bool isSeparator(const MenuModel::Entry& entry) { return entry.title == "-"; }
bool selectable(const MenuModel::Entry& entry) { return entry.enabled && !isSeparator(entry); }

struct Level {
  const MenuModel* model = nullptr;
  int openedFrom = -1;  // the entry of the level above that opened this one
  Window window = 0;
  GC gc = nullptr;
  CRect bounds;             // root coordinates
  std::vector<CRect> rows;  // window coordinates
  int highlighted = -1;
  gui::Surface surface;
  std::unique_ptr<ImageWriter> writer;
};

class PopupMenu {
 public:
  PopupMenu(Display* display, int screen, const ForeignEventHandler& foreign)
      : display_(display),
        screen_(screen),
        foreign_(foreign),
        root_(RootWindow(display, screen)) {}

  ~PopupMenu() {
    ErrorTrap trap(display_);
    if (pointerGrabbed_) XUngrabPointer(display_, CurrentTime);
    if (keyboardGrabbed_) XUngrabKeyboard(display_, CurrentTime);
    closeFrom(0);
  }

  // The top-left at (x, below), or the bottom-left at (x, above) when the
  // menu would pass `roomBelow` (root y) and fits above.
  MenuChoice run(const MenuModel& menu, int x, int below, int above, int roomBelow) {
    if (menu.entries.empty()) return {};
    percent_ = std::clamp(menu.scalePercent, 25, 400);
    font_ = FontSpec{px(kFontSize), false, false};
    rowHeight_ = std::max(px(20), lineHeight(font_) + px(6));
    {
      ErrorTrap trap(display_);
      const int height = heightOf(menu);
      open(menu, -1, x, below + height > roomBelow && above - height >= 0 ? above - height : below);
      trap.sync();
    }
    grab();
    auto lastInput = std::chrono::steady_clock::now();
    while (!done_) {
      {
        ErrorTrap trap(display_);
        while (!done_ && XPending(display_)) {
          XEvent event;
          XNextEvent(display_, &event);
          if (handle(event)) lastInput = std::chrono::steady_clock::now();
        }
      }
      if (done_) break;
      if (!pointerGrabbed_ && std::chrono::steady_clock::now() - lastInput > kUngrabbedTimeout) break;
      pollfd fd{ConnectionNumber(display_), POLLIN, 0};
      poll(&fd, 1, 100);
    }
    return choice_;
  }

 private:
  // A length at the menu's scale.
  int px(int length) const { return std::max(1, (length * percent_ + 50) / 100); }

  int heightOf(const MenuModel& model) const {
    int height = kBorder + 1 + 1 + kBorder;
    for (const MenuModel::Entry& entry : model.entries) height += isSeparator(entry) ? px(kSeparatorHeight) : rowHeight_;
    return height;
  }

  void open(const MenuModel& model, int openedFrom, int x, int y) {
    Level level;
    level.model = &model;
    level.openedFrom = openedFrom;
    int width = px(kMinWidth), top = kBorder + 1;
    for (const MenuModel::Entry& entry : model.entries) {
      const int rowHeight = isSeparator(entry) ? px(kSeparatorHeight) : rowHeight_;
      level.rows.emplace_back(kBorder, top, 0, top + rowHeight);
      top += rowHeight;
      if (!isSeparator(entry)) width = std::max(width, textWidth(entry.title, font_) + px(kLeftMargin) + px(kRightMargin));
    }
    const int height = top + 1 + kBorder;
    for (CRect& row : level.rows) row.right = width - kBorder;
    const int screenWidth = DisplayWidth(display_, screen_), screenHeight = DisplayHeight(display_, screen_);
    if (!levels_.empty() && x + width > screenWidth) x = levels_.back().bounds.left - width + 2;
    x = std::clamp(x, 0, std::max(0, screenWidth - width));
    y = std::clamp(y, 0, std::max(0, screenHeight - height));
    level.bounds = CRect(x, y, x + width, y + height);

    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.save_under = True;
    attributes.background_pixel = WhitePixel(display_, screen_);
    attributes.border_pixel = 0;
    attributes.colormap = DefaultColormap(display_, screen_);
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask;
    level.window = XCreateWindow(
        display_, root_, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
        DefaultDepth(display_, screen_), InputOutput, DefaultVisual(display_, screen_),
        CWOverrideRedirect | CWSaveUnder | CWBackPixel | CWBorderPixel | CWColormap | CWEventMask, &attributes);
    // For compositors and tools that look at what a window is.
    const Atom type = atom(display_, "_NET_WM_WINDOW_TYPE_POPUP_MENU");
    XChangeProperty(display_, level.window, atom(display_, "_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&type), 1);
    XStoreName(display_, level.window, "ZVX menu");
    level.gc = XCreateGC(display_, level.window, 0, nullptr);
    level.surface = gui::Surface(width, height, paletteOf(model).background);
    level.writer = std::make_unique<ImageWriter>(display_, screen_, width, height);
    XMapRaised(display_, level.window);
    levels_.push_back(std::move(level));
    paint(levels_.back());
  }

  void closeFrom(std::size_t index) {
    while (levels_.size() > index) {
      Level& level = levels_.back();
      if (level.gc) XFreeGC(display_, level.gc);
      if (level.window) XDestroyWindow(display_, level.window);
      levels_.pop_back();
    }
  }

  void paint(Level& level) {
    gui::Surface& s = level.surface;
    const Palette palette = paletteOf(*level.model);
    fillRect(s, CRect(0, 0, s.width(), s.height()), palette.background);
    frameRect(s, CRect(0, 0, s.width(), s.height()), palette.border);
    const int textHeight = lineHeight(font_);
    for (std::size_t i = 0; i < level.rows.size(); ++i) {
      const MenuModel::Entry& entry = level.model->entries[i];
      const CRect& row = level.rows[i];
      if (isSeparator(entry)) {
        const int middle = (row.top + row.bottom) / 2;
        fillRect(s, CRect(row.left + px(4), middle, row.right - px(4), middle + px(1)), palette.separator);
        continue;
      }
      const bool lit = static_cast<int>(i) == level.highlighted && entry.enabled;
      if (lit) fillRect(s, row, palette.highlight);
      const Pixel ink = lit ? palette.highlightText : entry.enabled ? palette.text : palette.disabledText;
      drawText(s, row.left + px(kLeftMargin), row.top + (row.height() - textHeight) / 2, entry.title, font_, ink);
      const int middle = (row.top + row.bottom) / 2;
      if (entry.checked) {
        drawLine(s, CPoint(row.left + px(6), middle), CPoint(row.left + px(9), middle + px(3)), ink, px(2));
        drawLine(s, CPoint(row.left + px(9), middle + px(3)), CPoint(row.left + px(15), middle - px(4)), ink, px(2));
      }
      if (entry.submenu)
        for (int d = 0; d <= px(4); ++d)
          fillRect(s, CRect(row.right - px(14) + d, middle - px(4) + d, row.right - px(13) + d, middle + px(5) - d), ink);
    }
    level.writer->copy(s, CRect(0, 0, s.width(), s.height()));
    level.writer->put(level.window, level.gc, CRect(0, 0, s.width(), s.height()));
  }

  void grab() {
    // The host or a window manager may hold a grab for a moment.
    for (int attempt = 0; attempt < 50 && !(pointerGrabbed_ && keyboardGrabbed_); ++attempt) {
      {
        ErrorTrap trap(display_);
        const unsigned mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
        if (!pointerGrabbed_)
          pointerGrabbed_ = XGrabPointer(display_, levels_.front().window, False, mask, GrabModeAsync, GrabModeAsync,
                                         None, None, CurrentTime) == GrabSuccess;
        if (!keyboardGrabbed_)
          keyboardGrabbed_ = XGrabKeyboard(display_, levels_.front().window, False, GrabModeAsync, GrabModeAsync,
                                           CurrentTime) == GrabSuccess;
      }
      if (!(pointerGrabbed_ && keyboardGrabbed_)) std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
  }

  Level* levelOf(Window window) {
    for (Level& level : levels_)
      if (level.window == window) return &level;
    return nullptr;
  }

  // The level and entry at a root position, the deepest level first.
  std::pair<int, int> hit(int x, int y) const {
    for (int l = static_cast<int>(levels_.size()) - 1; l >= 0; --l) {
      const Level& level = levels_[static_cast<std::size_t>(l)];
      if (!level.bounds.pointInside(CPoint(x, y))) continue;
      const CPoint local(x - level.bounds.left, y - level.bounds.top);
      for (std::size_t i = 0; i < level.rows.size(); ++i)
        if (level.rows[i].pointInside(local)) return {l, static_cast<int>(i)};
      return {l, -1};
    }
    return {-1, -1};
  }

  // Lights an entry and closes the menus of other entries; with `openSubmenu`
  // (the pointer's hover) opens the entry's own.
  void highlight(int levelIndex, int entry, bool openSubmenu = true) {
    Level& level = levels_[static_cast<std::size_t>(levelIndex)];
    if (level.highlighted != entry) {
      level.highlighted = entry;
      paint(level);
    }
    const std::size_t next = static_cast<std::size_t>(levelIndex) + 1;
    if (levels_.size() > next && levels_[next].openedFrom != entry) closeFrom(next);
    if (entry < 0 || !openSubmenu) return;
    const MenuModel::Entry& item = level.model->entries[static_cast<std::size_t>(entry)];
    if (item.submenu && item.enabled && !item.submenu->entries.empty() && levels_.size() == next) {
      const CRect& row = level.rows[static_cast<std::size_t>(entry)];
      open(*item.submenu, entry, level.bounds.right - 2, level.bounds.top + row.top - 1 - kBorder);
    }
  }

  void choose(int levelIndex, int entry) {
    choice_.clear();
    for (int l = 0; l < levelIndex; ++l) choice_.push_back(levels_[static_cast<std::size_t>(l + 1)].openedFrom);
    choice_.push_back(entry);
    done_ = true;
  }

  void dismiss() {
    choice_.clear();
    done_ = true;
  }

  // The next selectable entry of a level from `from` in `step` direction, wrapping.
  static int step(const Level& level, int from, int direction) {
    const int count = static_cast<int>(level.model->entries.size());
    int index = from;
    for (int tries = 0; tries < count; ++tries) {
      index = index < 0 ? (direction > 0 ? 0 : count - 1) : (index + direction + count) % count;
      if (selectable(level.model->entries[static_cast<std::size_t>(index)])) return index;
    }
    return -1;
  }

  // Return on an entry: opens its sub-menu on its first entry, or chooses it.
  void activate(int levelIndex, int entry) {
    if (entry < 0) return;
    const MenuModel::Entry& item =
        levels_[static_cast<std::size_t>(levelIndex)].model->entries[static_cast<std::size_t>(entry)];
    if (!selectable(item)) return;
    if (item.submenu) {
      highlight(levelIndex, entry);
      const std::size_t next = static_cast<std::size_t>(levelIndex) + 1;
      if (levels_.size() > next) highlight(static_cast<int>(next), step(levels_[next], -1, 1), false);
      return;
    }
    choose(levelIndex, entry);
  }

  // The level the keys act on: the deepest with a lit entry.
  int activeLevel() const {
    for (int l = static_cast<int>(levels_.size()) - 1; l > 0; --l)
      if (levels_[static_cast<std::size_t>(l)].highlighted >= 0) return l;
    return 0;
  }

  void key(XKeyEvent& event) {
    const KeySym sym = XLookupKeysym(&event, 0);
    const int active = activeLevel();
    Level& level = levels_[static_cast<std::size_t>(active)];
    switch (sym) {
      case XK_Escape:
        dismiss();
        break;
      case XK_Up:
      case XK_KP_Up:
        highlight(active, step(level, level.highlighted, -1), false);
        break;
      case XK_Down:
      case XK_KP_Down:
        highlight(active, step(level, level.highlighted, 1), false);
        break;
      case XK_Right:
      case XK_KP_Right: {
        if (level.highlighted >= 0 && level.model->entries[static_cast<std::size_t>(level.highlighted)].submenu)
          activate(active, level.highlighted);
        break;
      }
      case XK_Left:
      case XK_KP_Left:
        if (active > 0) closeFrom(static_cast<std::size_t>(active));
        break;
      case XK_Return:
      case XK_KP_Enter:
      case XK_space:
        activate(active, level.highlighted);
        break;
      default:
        break;
    }
  }

  // One event; true when it was the user's input.
  bool handle(XEvent& event) {
    switch (event.type) {
      case Expose:
        if (Level* level = levelOf(event.xexpose.window)) {
          level->writer->put(level->window, level->gc,
                             CRect(event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                                   event.xexpose.y + event.xexpose.height));
          return false;
        }
        break;
      case MotionNotify: {
        while (XCheckTypedEvent(display_, MotionNotify, &event)) {
        }
        const auto [l, entry] = hit(event.xmotion.x_root, event.xmotion.y_root);
        if (l >= 0 && entry >= 0) {
          // Pressed, dragged onto an entry and released there: a choice.
          if ((event.xmotion.state & (Button1Mask | Button2Mask | Button3Mask)) &&
              levels_[static_cast<std::size_t>(l)].highlighted != entry)
            armed_ = true;
          highlight(l, entry);
        }
        return true;
      }
      case ButtonPress: {
        if (event.xbutton.button > 3) return true;
        const auto [l, entry] = hit(event.xbutton.x_root, event.xbutton.y_root);
        if (l < 0) {
          dismiss();
        } else {
          armed_ = true;
          if (entry >= 0) highlight(l, entry);
        }
        return true;
      }
      case ButtonRelease: {
        if (event.xbutton.button > 3) return true;
        const auto [l, entry] = hit(event.xbutton.x_root, event.xbutton.y_root);
        if (l < 0 || entry < 0 || !armed_) return true;
        const MenuModel::Entry& item =
            levels_[static_cast<std::size_t>(l)].model->entries[static_cast<std::size_t>(entry)];
        if (!selectable(item)) return true;
        if (item.submenu)
          highlight(l, entry);
        else
          choose(l, entry);
        return true;
      }
      case KeyPress:
        key(event.xkey);
        return true;
      default:
        break;
    }
    if (!levelOf(event.xany.window) && foreign_ && foreign_(event)) dismiss();
    return false;
  }

  Display* display_;
  int screen_;
  const ForeignEventHandler& foreign_;
  Window root_;
  int percent_ = 100;
  FontSpec font_{kFontSize, false, false};
  int rowHeight_ = 20;
  std::vector<Level> levels_;
  MenuChoice choice_;
  bool done_ = false;
  bool armed_ = false;
  bool pointerGrabbed_ = false;
  bool keyboardGrabbed_ = false;
};

}  // namespace

MenuChoice runPopupMenu(Display* display, int screen, const MenuModel& menu, int x, int below, int above,
                        int roomBelow, const ForeignEventHandler& foreign) {
  PopupMenu popup(display, screen, foreign);
  return popup.run(menu, x, below, above, roomBelow);
}

}  // namespace zvx::platform::x11
