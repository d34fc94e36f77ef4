#include <X11/Xlib.h>

#include <charconv>
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
      // A decimal point whatever the locale, as the desktop writes it.
      const std::size_t start = line.find_first_not_of(" \t", 8);
      if (start == std::string::npos) continue;
      double value = 0.0;
      const auto [end, problem] = std::from_chars(line.data() + start, line.data() + line.size(), value);
      if (problem == std::errc() && value > 0.0) dpi = value;
    }
  }
  XCloseDisplay(display);
  return dpi;
}

}  // namespace zvx::platform
