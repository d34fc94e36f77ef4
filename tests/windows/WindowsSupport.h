// Helpers for the tests that run under wine: scratch folders, the registry
// value that names the documents folder (put back afterwards), a host's
// top-level window, a window's pixels, synthetic input and the messages the
// module writes to standard error.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "image/Surface.h"

namespace zvx::wintest {

// Tests that change the user's registry run only under wine, in the scratch
// prefix wine_tests makes.
inline bool underWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The folder of this program, where ZVX.dll lies too.
inline std::filesystem::path programFolder() {
  char name[MAX_PATH];
  return std::filesystem::path(std::string(name, GetModuleFileNameA(nullptr, name, MAX_PATH))).parent_path();
}

// A fresh folder under the temporary folder, removed with its contents.
class ScratchFolder {
 public:
  ScratchFolder() {
    static int counter = 0;
    do path_ = std::filesystem::temp_directory_path() / ("zvx-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter));
    while (!std::filesystem::create_directory(path_));
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }
  std::string native() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

// The value "Personal" of the current user's Shell Folders key, replaced (or
// with null removed) for the life of the object.
class DocumentsValue {
 public:
  static std::optional<std::string> read() {
    char value[1024] = {};
    DWORD size = sizeof value - 1;
    if (RegGetValueA(HKEY_CURRENT_USER, kKey, "Personal", RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
      return std::nullopt;
    return std::string(value);
  }
  explicit DocumentsValue(const char* value) { write(value); }
  ~DocumentsValue() { write(previous_ ? previous_->c_str() : nullptr); }
  DocumentsValue(const DocumentsValue&) = delete;
  DocumentsValue& operator=(const DocumentsValue&) = delete;

 private:
  static constexpr const char* kKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  static void write(const char* value) {
    if (value)
      RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "Personal", REG_SZ, value, static_cast<DWORD>(strlen(value) + 1));
    else
      RegDeleteKeyValueA(HKEY_CURRENT_USER, kKey, "Personal");
  }
  std::optional<std::string> previous_ = read();
};

// Dispatches every message waiting for this thread, as a host's loop does.
inline void pumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// A host's top-level window with a client area of the given size at (x, y).
// No system menu: a lone Alt press and release would open it, modally.
class HostWindow {
 public:
  HostWindow(int x, int y, int width, int height) {
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN | WS_VISIBLE;
    RECT frame{0, 0, width, height};
    AdjustWindowRect(&frame, style, FALSE);
    hwnd_ = CreateWindowExA(0, "STATIC", "ZVX test host", style, x, y, frame.right - frame.left,
                            frame.bottom - frame.top, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(hwnd_);
    pumpMessages();
  }
  ~HostWindow() { destroy(); }
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;
  HWND handle() const { return hwnd_; }
  void destroy() {
    if (hwnd_) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
    pumpMessages();
  }
  std::vector<HWND> children() const {
    std::vector<HWND> found;
    for (HWND child = hwnd_ ? GetWindow(hwnd_, GW_CHILD) : nullptr; child; child = GetWindow(child, GW_HWNDNEXT))
      found.push_back(child);
    return found;
  }

 private:
  HWND hwnd_ = nullptr;
};

// A thread that waits (a few seconds at most) for a visible window of that
// class, e.g. a message box or a menu that blocks the test's own thread, and
// hands it to `answer`.
inline std::thread whenShown(const char* windowClass, const char* title, std::function<void(HWND)> answer) {
  return std::thread([=] {
    for (int tries = 0; tries < 500; ++tries, Sleep(10))
      if (HWND window = FindWindowA(windowClass, title); window && IsWindowVisible(window)) return answer(window);
  });
}

// The pixels a window's client area shows, read back from the screen.
inline gui::Surface capture(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  gui::Surface surface(client.right, client.bottom);
  HDC screen = GetDC(window), memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, surface.width(), surface.height());
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, surface.width(), surface.height(), screen, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFO format{};
  format.bmiHeader = {sizeof(BITMAPINFOHEADER), surface.width(), -surface.height(), 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(surface.height()), surface.data(), &format, DIB_RGB_COLORS);
  for (std::size_t i = 0; i < surface.pixels().size(); ++i) surface.data()[i] |= 0xFF000000u;
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, screen);
  return surface;
}

// Where a point of a window's client area is on the screen.
inline POINT onScreen(HWND window, int x, int y) {
  POINT point{x, y};
  ClientToScreen(window, &point);
  return point;
}

// Synthetic input through the system's queue, as a user's hand gives it.
inline void send(INPUT input) {
  SendInput(1, &input, sizeof input);
  pumpMessages();
}
inline void moveMouse(POINT at) {
  INPUT input{INPUT_MOUSE, {}};
  // Absolute moves are in 0..65535 over the primary screen.
  input.mi.dx = (at.x * 65536 + 32768) / GetSystemMetrics(SM_CXSCREEN);
  input.mi.dy = (at.y * 65536 + 32768) / GetSystemMetrics(SM_CYSCREEN);
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  send(input);
}
inline void mouseButton(DWORD flag) {
  INPUT input{INPUT_MOUSE, {}};
  input.mi.dwFlags = flag;
  input.mi.mouseData = flag == MOUSEEVENTF_WHEEL ? WHEEL_DELTA : 0;
  send(input);
}
inline void key(WORD virtualKey, bool down) {
  INPUT input{INPUT_KEYBOARD, {}};
  input.ki.wVk = virtualKey;
  input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  send(input);
}

// The "ZVX message" lines of what the module wrote to standard error.
inline std::vector<std::string> messageLines(const std::string& stderrText) {
  std::vector<std::string> lines;
  std::istringstream text(stderrText);
  for (std::string line; std::getline(text, line);)
    if (line.rfind("ZVX message [", 0) == 0) lines.push_back(line.substr(0, line.find_last_not_of('\r') + 1));
  return lines;
}

// Pixels whose colours differ (alpha ignored); every pixel when the sizes differ.
inline int differingPixels(const gui::Surface& a, const gui::Surface& b) {
  if (a.width() != b.width() || a.height() != b.height()) return a.width() * a.height() + b.width() * b.height();
  int count = 0;
  for (std::size_t i = 0; i < a.pixels().size(); ++i) count += ((a.pixels()[i] ^ b.pixels()[i]) & 0xFFFFFFu) != 0;
  return count;
}

inline void writeFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace zvx::wintest
