#include <windows.h>

#include "platform/DesktopScale.h"

namespace zvx::platform {

std::optional<double> desktopDpi() {
  HDC screen = GetDC(nullptr);
  if (!screen) return std::nullopt;
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? std::optional<double>(dpi) : std::nullopt;
}

}  // namespace zvx::platform
