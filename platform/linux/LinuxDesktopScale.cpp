#include <X11/Xlib.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "platform/DesktopScale.h"

namespace zvx::platform {

std::optional<double> desktopDpi() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return std::nullopt;
  std::optional<double> dpi;
  // The resource database as xrdb loaded it: "name:\tvalue" lines.
  if (const char* resources = XResourceManagerString(display)) {
    std::istringstream lines(resources);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("Xft.dpi:", 0) != 0) continue;
      char* end = nullptr;
      const double value = std::strtod(line.c_str() + 8, &end);
      if (end != line.c_str() + 8 && value > 0.0) dpi = value;
    }
  }
  XCloseDisplay(display);
  return dpi;
}

}  // namespace zvx::platform
