// The editor window on Windows: a child window of the host's HWND that shows
// a copy of the frame's surface with SetDIBitsToDevice (at every present and
// again at WM_PAINT) and queues mouse, wheel and key messages for the frame,
// which takes them at effEditIdle. The host's message loop dispatches to us;
// only while a control tracks the mouse do we pump, and then only our own
// window's messages, so the host is never re-entered from inside a drag.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DragWait.h"
#include "platform/EditorWindow.h"
#include "platform/VirtualKeys.h"

namespace zvx::platform {
namespace {

using gui::InputEvent;

using gui::kAllButtons;

// clang-format off
// `extended`: the key's extended bit, which tells the keypad's Enter from Return.
int virtualKey(WPARAM vk, bool extended) {
  if (vk >= VK_F1 && vk <= VK_F12) return kVkF1 + static_cast<int>(vk - VK_F1);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return kVkNumpad0 + static_cast<int>(vk - VK_NUMPAD0);
  switch (vk) {
    case VK_BACK: return kVkBack;
    case VK_TAB: return kVkTab;
    case VK_CLEAR: return kVkClear;
    case VK_RETURN: return extended ? kVkEnter : kVkReturn;
    case VK_PAUSE: return kVkPause;
    case VK_ESCAPE: return kVkEscape;
    case VK_END: return kVkEnd;
    case VK_HOME: return kVkHome;
    case VK_LEFT: return kVkLeft;
    case VK_UP: return kVkUp;
    case VK_RIGHT: return kVkRight;
    case VK_DOWN: return kVkDown;
    case VK_PRIOR: return kVkPageUp;
    case VK_NEXT: return kVkPageDown;
    case VK_SELECT: return kVkSelect;
    case VK_PRINT: return kVkPrint;
    case VK_SNAPSHOT: return kVkSnapshot;
    case VK_INSERT: return kVkInsert;
    case VK_DELETE: return kVkDelete;
    case VK_HELP: return kVkHelp;
    case VK_MULTIPLY: return kVkMultiply;
    case VK_ADD: return kVkAdd;
    case VK_SEPARATOR: return kVkSeparator;
    case VK_SUBTRACT: return kVkSubtract;
    case VK_DECIMAL: return kVkDecimal;
    case VK_DIVIDE: return kVkDivide;
    case VK_NUMLOCK: return kVkNumLock;
    case VK_SCROLL: return kVkScroll;
    case VK_SHIFT: case VK_LSHIFT: case VK_RSHIFT: return kVkShift;
    case VK_CONTROL: case VK_LCONTROL: case VK_RCONTROL: return kVkControl;
    case VK_MENU: case VK_LMENU: case VK_RMENU: return kVkAlt;
    default: return 0;
  }
}
// clang-format on

// Buttons and modifiers from a mouse message's key flags. Alt is not among
// them: its state as of this message comes from GetKeyState.
long mouseState(WPARAM flags) {
  long bits = 0;
  if (flags & MK_LBUTTON) bits |= kLButton;
  if (flags & MK_MBUTTON) bits |= kMButton;
  if (flags & MK_RBUTTON) bits |= kRButton;
  if (flags & MK_SHIFT) bits |= kShift;
  if (flags & MK_CONTROL) bits |= kControl;
  if (GetKeyState(VK_MENU) < 0) bits |= kAlt;
  return bits;
}

// The same for messages that carry no flags (keys, capture changes).
long keyState() {
  long bits = 0;
  if (GetKeyState(VK_LBUTTON) < 0) bits |= kLButton;
  if (GetKeyState(VK_MBUTTON) < 0) bits |= kMButton;
  if (GetKeyState(VK_RBUTTON) < 0) bits |= kRButton;
  if (GetKeyState(VK_SHIFT) < 0) bits |= kShift;
  if (GetKeyState(VK_CONTROL) < 0) bits |= kControl;
  if (GetKeyState(VK_MENU) < 0) bits |= kAlt;
  return bits;
}

// Whether a mouse button is down right now, whatever the queue holds.
bool buttonsHeldNow() {
  return GetAsyncKeyState(VK_LBUTTON) < 0 || GetAsyncKeyState(VK_MBUTTON) < 0 || GetAsyncKeyState(VK_RBUTTON) < 0;
}

HMODULE thisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&thisModule), &module);
  return module;
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The window class, registered with this module's instance under a name of
// this module's own (two plug-ins in one host must not share a class), for as
// long as windows of it exist.
class WindowClass {
 public:
  static WindowClass& instance() {
    static WindowClass windowClass;
    return windowClass;
  }

  // The class name, or null when it cannot be registered.
  const char* acquire() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (users_ == 0) {
      std::snprintf(name_, sizeof name_, "ZVXEditor%p", static_cast<void*>(module_));
      WNDCLASSEXA description{};
      description.cbSize = sizeof description;
      description.lpfnWndProc = windowProc;
      description.hInstance = module_;
      description.hCursor = LoadCursorA(nullptr, IDC_ARROW);
      description.lpszClassName = name_;
      if (!RegisterClassExA(&description) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    }
    ++users_;
    return name_;
  }

  void release() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (users_ > 0 && --users_ == 0) UnregisterClassA(name_, module_);
  }

  HINSTANCE module() const { return module_; }

 private:
  WindowClass() : module_(thisModule()) {}
  std::mutex mutex_;
  HINSTANCE module_;
  int users_ = 0;
  char name_[64] = {};
};

class Win32EditorWindow final : public gui::PlatformWindow {
 public:
  Win32EditorWindow(int width, int height)
      : width_(width), height_(height), shown_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {}

  ~Win32EditorWindow() override {
    if (hwnd_) {
      SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
      if (GetWindowThreadProcessId(hwnd_, nullptr) == GetCurrentThreadId())
        DestroyWindow(hwnd_);
      else
        PostMessageA(hwnd_, WM_CLOSE, 0, 0);  // only its own thread may destroy it
      hwnd_ = nullptr;
    }
    if (className_) WindowClass::instance().release();
  }

  bool create(HWND parent) {
    className_ = WindowClass::instance().acquire();
    if (!className_) return false;
    hwnd_ = CreateWindowExA(0, className_, "ZVX", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, width_, height_,
                            parent, nullptr, WindowClass::instance().module(), this);
    return hwnd_ != nullptr;
  }

  HWND handle() const { return hwnd_; }
  void* nativeHandle() const override { return hwnd_; }

  void present(const gui::Surface& surface, const CRect& area) override {
    CRect shown = area;
    shown.bound(CRect(0, 0, std::min(width_, surface.width()), std::min(height_, surface.height())));
    if (shown.isEmpty()) return;
    for (int y = shown.top; y < shown.bottom; ++y)
      std::copy(surface.data() + static_cast<std::ptrdiff_t>(y) * surface.width() + shown.left,
                surface.data() + static_cast<std::ptrdiff_t>(y) * surface.width() + shown.right,
                shown_.begin() + static_cast<std::ptrdiff_t>(y) * width_ + shown.left);
    if (!hwnd_) return;
    HDC dc = GetDC(hwnd_);
    if (!dc) return;
    put(dc, shown);
    ReleaseDC(hwnd_, dc);
  }

  bool nextEvent(InputEvent& event, bool wait) override {
    if (take(event)) return true;
    if (!wait) return false;
    auto slice = [this](InputEvent& next) {
      MSG message;
      while (hwnd_ && PeekMessageA(&message, hwnd_, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
        if (take(next)) return gui::WaitSlice::Event;
      }
      if (!hwnd_) return gui::WaitSlice::WindowGone;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, gui::kWaitSliceMs, QS_ALLINPUT);
      return gui::WaitSlice::Nothing;
    };
    return gui::waitDuringDrag(event, lastButtons_, lastWhere_, slice, [] { return buttonsHeldNow(); });
  }

  // Windows menus keep the system's look. One that would pass the editor's
  // bottom edge opens upward from the anchor instead.
  gui::MenuChoice popupMenu(const gui::MenuModel& menu, const CRect& anchor) override {
    if (!hwnd_) return {};
    std::vector<gui::MenuChoice> choices;
    HMENU handle = build(menu, {}, choices);
    if (!handle) return {};
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int height = static_cast<int>(menu.entries.size()) * GetSystemMetrics(SM_CYMENUSIZE) + 8;
    const bool upward = anchor.bottom + height > client.bottom && anchor.top - height >= 0;
    POINT at{anchor.left, upward ? anchor.top : anchor.bottom};
    ClientToScreen(hwnd_, &at);
    // The menu tracks the mouse itself; the click that opened it is over.
    ReleaseCapture();
    const UINT id = static_cast<UINT>(TrackPopupMenu(
        handle, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | (upward ? TPM_BOTTOMALIGN : TPM_TOPALIGN) | TPM_RIGHTBUTTON,
        at.x, at.y, 0, hwnd_, nullptr));
    DestroyMenu(handle);
    if (id == 0 || id > choices.size()) return {};
    return choices[id - 1];
  }

  // One message of our window; false leaves it to DefWindowProc.
  bool handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    switch (message) {
      case WM_NCDESTROY:
        // The host destroyed its window, and ours with it.
        hwnd_ = nullptr;
        return false;
      case WM_ERASEBKGND:
        result = 1;  // the surface covers everything
        return true;
      case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd_, &paint);
        if (dc) put(dc, CRect(paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right, paint.rcPaint.bottom));
        EndPaint(hwnd_, &paint);
        return true;
      }
      case WM_GETDLGCODE:
        result = DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS;
        return true;
      case WM_LBUTTONDOWN:
      case WM_MBUTTONDOWN:
      case WM_RBUTTONDOWN:
      case WM_LBUTTONDBLCLK:
      case WM_MBUTTONDBLCLK:
      case WM_RBUTTONDBLCLK:
        // Releases outside the window still come to us; keys follow the click.
        SetCapture(hwnd_);
        if (GetFocus() != hwnd_) SetFocus(hwnd_);
        push({InputEvent::MouseDown, pointOf(lParam), mouseState(wParam)});
        return true;
      case WM_LBUTTONUP:
      case WM_MBUTTONUP:
      case WM_RBUTTONUP: {
        const long state = mouseState(wParam);
        push({InputEvent::MouseUp, pointOf(lParam), state});
        if (!(state & kAllButtons) && GetCapture() == hwnd_) ReleaseCapture();
        return true;
      }
      case WM_MOUSEMOVE:
        if (!tracking_) {
          TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, hwnd_, 0};
          tracking_ = TrackMouseEvent(&track) != 0;
        }
        push({InputEvent::MouseMove, pointOf(lParam), mouseState(wParam)});
        return true;
      case WM_MOUSELEAVE:
        tracking_ = false;
        push({InputEvent::MouseMove, cursor(), keyState()});
        return true;
      case WM_CAPTURECHANGED:
        // Another window took the mouse in the middle of a drag: it is over for us.
        if (lastButtons_ & kAllButtons) push({InputEvent::MouseUp, lastWhere_, keyState() & ~kAllButtons});
        return true;
      case WM_MOUSEWHEEL: {
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};  // screen coordinates
        ScreenToClient(hwnd_, &at);
        InputEvent wheel{InputEvent::Wheel, CPoint(at.x, at.y), mouseState(GET_KEYSTATE_WPARAM(wParam))};
        wheel.wheel = static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA;
        push(wheel);
        return true;
      }
      case WM_KEYDOWN:
      case WM_KEYUP: {
        const int key = keyOf(wParam, lParam);
        if (!key) return false;
        InputEvent keyEvent{message == WM_KEYDOWN ? InputEvent::KeyDown : InputEvent::KeyUp, cursor(), keyState()};
        keyEvent.key = key;
        queue_.push_back(keyEvent);
        return true;
      }
      default:
        return false;
    }
  }

 private:
  static CPoint pointOf(LPARAM lParam) { return CPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); }

  CPoint cursor() const {
    POINT at{};
    GetCursorPos(&at);
    if (hwnd_) ScreenToClient(hwnd_, &at);
    return CPoint(at.x, at.y);
  }

  // A VST virtual key + 256, or the character the key types, or 0.
  static int keyOf(WPARAM vk, LPARAM lParam) {
    if (const int key = virtualKey(vk, (lParam & (1 << 24)) != 0)) return key + 256;
    BYTE keys[256] = {};
    if (!GetKeyboardState(keys)) return 0;
    WORD typed = 0;
    const UINT scan = static_cast<UINT>((lParam >> 16) & 0xFF);
    if (ToAscii(static_cast<UINT>(vk), scan, keys, &typed, 0) != 1) return 0;
    return typed & 0xFF;
  }

  // Shows `area` of our copy of the surface.
  void put(HDC dc, CRect area) {
    area.bound(CRect(0, 0, width_, height_));
    if (area.isEmpty()) return;
    const int w = area.width(), h = area.height();
    std::vector<std::uint32_t> rows(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y)
      std::copy(shown_.begin() + static_cast<std::ptrdiff_t>(area.top + y) * width_ + area.left,
                shown_.begin() + static_cast<std::ptrdiff_t>(area.top + y) * width_ + area.right,
                rows.begin() + static_cast<std::ptrdiff_t>(y) * w);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = w;
    format.bmiHeader.biHeight = -h;  // top-down, as the surface
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;  // 0x00RRGGBB words: the surface's layout, alpha ignored
    format.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, area.left, area.top, static_cast<DWORD>(w), static_cast<DWORD>(h), 0, 0, 0,
                      static_cast<UINT>(h), rows.data(), &format, DIB_RGB_COLORS);
  }

  bool take(InputEvent& event) {
    if (queue_.empty()) return false;
    event = queue_.front();
    queue_.pop_front();
    return true;
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

  // The menu and its sub-menus; the command id of an entry is its place in `choices` + 1.
  static HMENU build(const gui::MenuModel& model, const gui::MenuChoice& path, std::vector<gui::MenuChoice>& choices) {
    HMENU menu = CreatePopupMenu();
    if (!menu) return nullptr;
    for (std::size_t i = 0; i < model.entries.size(); ++i) {
      const gui::MenuModel::Entry& entry = model.entries[i];
      if (entry.title == "-") {
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        continue;
      }
      // An ampersand is shown as written, not taken as a mnemonic.
      std::string title;
      for (char c : entry.title) {
        if (c == '&') title += '&';
        title += c;
      }
      gui::MenuChoice here = path;
      here.push_back(static_cast<int>(i));
      UINT flags = MF_STRING | (entry.checked ? MF_CHECKED : 0u) | (entry.enabled ? 0u : MF_GRAYED);
      if (entry.submenu) {
        HMENU submenu = build(*entry.submenu, here, choices);
        if (submenu) AppendMenuA(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(submenu), title.c_str());
        continue;
      }
      choices.push_back(here);
      AppendMenuA(menu, flags, choices.size(), title.c_str());
    }
    return menu;
  }

  int width_;
  int height_;
  HWND hwnd_ = nullptr;
  const char* className_ = nullptr;
  std::vector<std::uint32_t> shown_;  // what the window shows, 0xAARRGGBB rows
  std::deque<InputEvent> queue_;
  CPoint lastWhere_;
  long lastButtons_ = 0;
  bool tracking_ = false;
};

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  }
  auto* window = reinterpret_cast<Win32EditorWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (window) {
    LRESULT result = 0;
    if (window->handle(message, wParam, lParam, result)) return result;
    if (message == WM_NCDESTROY) SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

std::unique_ptr<gui::PlatformWindow> createEditorWindow(void* parent, int width, int height) {
  HWND parentWindow = static_cast<HWND>(parent);
  if (!parentWindow || width <= 0 || height <= 0 || !IsWindow(parentWindow)) return nullptr;
  auto window = std::make_unique<Win32EditorWindow>(width, height);
  if (!window->create(parentWindow)) return nullptr;
  return window;
}

}  // namespace zvx::platform
